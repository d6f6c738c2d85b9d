#include "gui_thread.h"

#include <QCoreApplication>
#include <QThread>

bool onGuiThread()
{
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}
