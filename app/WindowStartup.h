#pragma once

// The pieces of start-up that only a program with a window needs.
namespace Startup {

void setWindowIcon();
void installApplicationFonts();

}
