#pragma once

// Last known settings of one camera, read back from its replies and events.
struct CameraState {
};
