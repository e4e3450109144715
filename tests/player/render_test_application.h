#pragma once
// The one QApplication of a test program (widgets and fonts need it), made
// on first use; call from the main thread.
#include <QApplication>

QApplication& RenderTestApplication();
