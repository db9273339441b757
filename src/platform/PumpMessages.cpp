#include "PumpMessages.h"

#include <QCoreApplication>

void PumpMessages()
{
    for (int pass = 0; pass < 3; ++pass)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}
