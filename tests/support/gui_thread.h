#ifndef KOV_TESTS_GUI_THREAD_H
#define KOV_TESTS_GUI_THREAD_H

// True on the thread of the QCoreApplication, which plays the GUI thread in
// the tests.
bool onGuiThread();

#endif
