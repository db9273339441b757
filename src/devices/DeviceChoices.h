#pragma once
// DeviceChoices: what the devices dialog edits, without widgets: which
// camera and guider Tandexa drives and their main settings, as the texts the
// dialog's fields hold. The keys are those of Tandexa.ini's sections
// "Camera" and "Guider" that the drivers read.
//
// Load() reads the file through the drivers' own readers, so the dialog
// shows exactly what "Connect MaxIm" would use (a value that is missing or
// out of range shows as the default the driver falls back to). Save() writes
// only what the user changed, plus the keys that name the chosen devices
// when the file lacks them; every other line keeps its bytes (IniFile).
// A value that does not convert is never written; Problems() names the ones
// of the chosen devices, and the dialog does not close while there are any.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>

struct GuiderSettings;
struct IndiSettings;
struct SimulatorSettings;

class DeviceChoices {
public:
    enum Field {
        CameraDriver,   // "Simulator" or "INDI"
        Filters,        // simulator: names separated by commas
        SensorWidth,
        SensorHeight,
        TimeScale,
        IndiHost,
        IndiPort,
        IndiCamera,
        IndiWheel,      // empty: the camera's own wheel
        IndiConnectTimeout,
        IndiReplyTimeout,
        IndiFilterTimeout,
        IndiImageTimeout,
        GuiderDriver,   // "Camera", "PHD2" or "None"
        Phd2Host,
        Phd2Instance,
        FieldCount
    };
    using Problem = QPair<Field, QString>;

    static QString Section(Field field);
    static QString Key(Field field);

    DeviceChoices();

    // Missing file: every default. Throws the file's read error (too large,
    // not a regular file).
    void Load(const QString& settingsPath);
    // Writes the changed keys in field order and returns them as
    // "Section/Key". Throws Error when the file cannot be written; the keys
    // written before stay written.
    QStringList Save(const QString& settingsPath) const;

    QString Value(Field field) const { return m_value[field]; }
    void SetValue(Field field, const QString& text) { m_value[field] = text; }

    bool IsIndi() const;
    bool IsSimulator() const;
    bool IsPhd2() const;
    // The port of the chosen PHD2 instance ("4400"), or "" for an instance
    // that is not a number in range.
    QString Phd2Port() const;

    // What keeps the choices from being saved, in field order, one sentence
    // each; only fields of the chosen devices count.
    QList<Problem> Problems() const;
    // Advice that does not keep the choices from being saved.
    QStringList Notes() const;
    // Whether the user changed a value that Save() would write.
    bool Changed() const { return !pendingWrites(false).isEmpty(); }

    // The settings the drivers would read after Save(): the loaded file's,
    // with the fields edited here (those that do not convert keep the
    // values loaded).
    SimulatorSettings Simulator() const;
    IndiSettings Indi() const;
    GuiderSettings Guider() const;

private:
    // The values of the fields the three settings hold (not the drivers).
    void take(const SimulatorSettings& sim, const IndiSettings& indi, const GuiderSettings& guider);
    bool active(Field field) const;
    // The value as the file would hold it; empty optional when it does not
    // convert or is out of range.
    std::optional<QString> stored(Field field) const;
    QString problem(Field field) const;
    // `naming`: also the keys that name the chosen devices and are missing.
    QList<QPair<Field, QString>> pendingWrites(bool naming = true) const;

    QString m_path;
    QString m_value[FieldCount];
    QString m_loaded[FieldCount];   // stored form of what Load() found
    bool m_present[FieldCount] = {};
};
