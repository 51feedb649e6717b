#pragma once

#include "windows/main/windowlayout.h"

class QWidget;

// The main window's controls, found by their object names the way a test or
// a benchmark reaches a window it did not build; a missing one is fatal.
WindowWidgets findWindowWidgets(const QWidget &window);
