#pragma once

// Checks for a newer version of the program through the platform's update framework. This
// platform has none (the package manager updates the program), so nothing is available.
class Updater {
public:
    bool isAvailable() const { return false; }
    void checkForUpdates() {}
};
