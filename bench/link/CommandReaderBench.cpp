// Time the second PC spends on one 64 KiB read (the largest a read delivers)
// of keyword-dense data, per kind of flood. Not a test: run it by hand on a
// release build; the stress test holds the bound that matters (no stall).
#include "link/ClientSocket.h"
#include "link/CommandReader.h"

#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>
#include <vector>

int main()
{
    QTextStream out(stdout);
    const QByteArray floods[] = {"End", "Abort", "Expose 1", "Ab", "Expose 1Abort", "zzzzzzzz"};
    for (const QByteArray& unit : floods) {
        QByteArray read;
        while (read.size() + unit.size() <= ClientSocket::ReadBufferSize)
            read += unit;
        RunState state;
        CommandReader reader(state);
        std::vector<qint64> ns;
        for (int i = 0; i < 200; ++i) {
            QElapsedTimer timer;
            timer.start();
            reader.Feed(read);
            ns.push_back(timer.nsecsElapsed());
        }
        std::sort(ns.begin(), ns.end());
        out << QString("%1 x %2: median %3 us, max %4 us per 64 KiB read\n")
                   .arg(QString::fromLatin1(unit), -14)
                   .arg(read.size() / unit.size())
                   .arg(ns[ns.size() / 2] / 1000.0, 0, 'f', 1)
                   .arg(ns.back() / 1000.0, 0, 'f', 1);
    }
    return 0;
}
