#pragma once
// NightRecord: the night's record, a plain-text file beside the images that
// says what happened and when, so a user can read in the morning what went on
// at 3 a.m. and a script can line events up with the images' DATE-OBS. One
// event a line: the UTC time to the millisecond, two blanks, the event:
//
//   2026-12-08T03:12:45.120Z  Dither 12 started
//
// The file is "Tandexa-night-<date>.txt" in the given folder, <date> being
// the local date twelve hours before the event, so a night that crosses
// midnight keeps one file. Each line is appended on its own (the file is
// opened, written and closed), so other programs may read it at any time and
// a crash loses nothing written before. Line breaks inside an event become
// blanks. A failure to write (folder gone, disk full) never stops a run:
// Append gives false and Error() says why.
#include <QDateTime>
#include <QString>
#include <functional>

class NightRecord {
public:
    NightRecord(QString folder, std::function<QDateTime()> nowUtc);

    bool Append(const QString& event);
    // The file the next line goes to.
    QString Path() const;
    // Why the last Append failed, with the path; empty after a success.
    QString Error() const { return m_error; }

    static QString FileNameFor(const QDateTime& utc);
    static QByteArray Line(const QDateTime& utc, const QString& event);

private:
    QString m_folder;
    std::function<QDateTime()> m_nowUtc;
    QString m_error;
};
