#pragma once
// Starting Qt where there may be no desktop. Without a display that answers, Qt ends the
// program with an abort and its own advice about platform plugins; Tunelift says plainly that
// it needs a desktop instead, and ends with exit status 1.

#include <QApplication>
#include <memory>

namespace tunelift {

// Creates the application. When Qt finds no desktop to draw on, writes why Tunelift cannot
// start to standard error and ends the program at once with exit status 1. Qt's own messages
// while it starts are held back and written once it has started.
std::unique_ptr<QApplication> StartOnDesktop(int& argc, char** argv);

}  // namespace tunelift
