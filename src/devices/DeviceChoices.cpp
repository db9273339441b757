#include "DeviceChoices.h"

#include "camera/indi/IndiSettings.h"
#include "camera/simulator/SimulatorSettings.h"
#include "guider/GuiderSettings.h"
#include "platform/Convert.h"
#include "platform/IniFile.h"
#include "platform/LocaleInfo.h"

#include <QLocale>

namespace {
struct Spec {
    const char* section;
    const char* key;
    enum Kind { Choice, Text, Names, Integer, Decimal } kind;
    double min, max;
    const char* what;   // for messages
};

// In the order of DeviceChoices::Field.
const Spec kSpecs[] = {
    {"Camera", "Driver", Spec::Choice, 0, 0, "camera"},
    {"Camera", "Filters", Spec::Names, 0, 0, "Filters"},
    {"Camera", "SensorWidth", Spec::Integer, 16, 16384, "Sensor width"},
    {"Camera", "SensorHeight", Spec::Integer, 16, 16384, "Sensor height"},
    {"Camera", "TimeScale", Spec::Decimal, 0, 1000, "Time scale"},
    {"Camera", "IndiHost", Spec::Text, 0, 0, "INDI server host"},
    {"Camera", "IndiPort", Spec::Integer, 1, 65535, "INDI server port"},
    {"Camera", "IndiCamera", Spec::Text, 0, 0, "INDI camera"},
    {"Camera", "IndiWheel", Spec::Text, 0, 0, "Filter wheel"},
    {"Camera", "IndiConnectTimeout", Spec::Decimal, 0.05, 86400, "Connect time-out"},
    {"Camera", "IndiReplyTimeout", Spec::Decimal, 0.05, 86400, "Reply time-out"},
    {"Camera", "IndiFilterTimeout", Spec::Decimal, 0.05, 86400, "Filter time-out"},
    {"Camera", "IndiImageTimeout", Spec::Decimal, 0.05, 86400, "Image time-out"},
    {"Guider", "Driver", Spec::Choice, 0, 0, "guider"},
    {"Guider", "Phd2Host", Spec::Text, 0, 0, "PHD2 host"},
    {"Guider", "Phd2Instance", Spec::Integer, 1, 65535 - 4399, "PHD2 instance"},
};
static_assert(std::size(kSpecs) == DeviceChoices::FieldCount);

const QStringList kCameraDrivers {QStringLiteral("Simulator"), QStringLiteral("INDI")};
const QStringList kGuiderDrivers {QStringLiteral("Camera"), QStringLiteral("PHD2"), QStringLiteral("None")};

QString decimalText(double v)
{
    QString t = QString::number(v, 'g', 15);
    t.replace(QLatin1Char('.'), DecimalSeparator());
    return t;
}

// As IniFile::ReadFloat reads a value.
std::optional<double> parseDecimal(const QString& text)
{
    QString t = text.trimmed();
    t.replace(DecimalSeparator(), QLatin1Char('.'));
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    return ok && !t.isEmpty() ? std::optional<double>(v) : std::nullopt;
}

QStringList names(const QString& text)
{
    QStringList list;
    for (const QString& part : text.split(QLatin1Char(','))) {
        if (!part.trimmed().isEmpty())
            list << part.trimmed();
    }
    return list;
}

QString choice(const QStringList& choices, const QString& text)
{
    for (const QString& c : choices)
        if (c.compare(text.trimmed(), Qt::CaseInsensitive) == 0)
            return c;
    return QString();
}

QString range(double lo, double hi, bool integer)
{
    return integer ? QStringLiteral("%1 to %2").arg(qint64(lo)).arg(qint64(hi))
                   : QStringLiteral("%1 to %2").arg(decimalText(lo), decimalText(hi));
}
}

QString DeviceChoices::Section(Field field) { return QLatin1String(kSpecs[field].section); }
QString DeviceChoices::Key(Field field) { return QLatin1String(kSpecs[field].key); }

DeviceChoices::DeviceChoices()
{
    const GuiderSettings guider;
    take(SimulatorSettings(), IndiSettings(), guider);
    m_value[CameraDriver] = QStringLiteral("Simulator");
    m_value[GuiderDriver] = guider.DriverText;
    for (int f = 0; f < FieldCount; ++f)
        m_loaded[f] = stored(Field(f)).value_or(QString());
}

void DeviceChoices::take(const SimulatorSettings& sim, const IndiSettings& indi, const GuiderSettings& guider)
{
    m_value[Filters] = sim.Filters.join(QStringLiteral(", "));
    m_value[SensorWidth] = QString::number(sim.SensorWidth);
    m_value[SensorHeight] = QString::number(sim.SensorHeight);
    m_value[TimeScale] = decimalText(sim.TimeScale);
    m_value[IndiHost] = indi.Host;
    m_value[IndiPort] = QString::number(indi.Port);
    m_value[IndiCamera] = indi.Camera;
    m_value[IndiWheel] = indi.Wheel;
    m_value[IndiConnectTimeout] = decimalText(indi.ConnectTimeout);
    m_value[IndiReplyTimeout] = decimalText(indi.ReplyTimeout);
    m_value[IndiFilterTimeout] = decimalText(indi.FilterTimeout);
    m_value[IndiImageTimeout] = decimalText(indi.ImageTimeout);
    m_value[Phd2Host] = guider.Phd2Host;
    m_value[Phd2Instance] = QString::number(guider.Phd2Instance);
}

void DeviceChoices::Load(const QString& settingsPath)
{
    const IniFile ini(settingsPath);
    const SimulatorSettings sim = SimulatorSettings::FromIni(ini);
    const IndiSettings indi = IndiSettings::FromIni(ini);
    const GuiderSettings guider = GuiderSettings::FromIni(ini);
    *this = DeviceChoices();
    m_path = settingsPath;
    const QString driver = ini.ReadString(QStringLiteral("Camera"), QStringLiteral("Driver"), QString()).trimmed();
    if (!driver.isEmpty())
        m_value[CameraDriver] = choice(kCameraDrivers, driver).isEmpty() ? driver : choice(kCameraDrivers, driver);
    take(sim, indi, guider);
    m_value[GuiderDriver] = choice(kGuiderDrivers, guider.DriverText).isEmpty() ? guider.DriverText
                                                                                 : choice(kGuiderDrivers, guider.DriverText);
    const auto camera = ini.ReadSection(QStringLiteral("Camera"));
    const auto guide = ini.ReadSection(QStringLiteral("Guider"));
    for (int f = 0; f < FieldCount; ++f) {
        m_loaded[f] = stored(Field(f)).value_or(m_value[f]);
        m_present[f] = (Section(Field(f)) == QLatin1String("Camera") ? camera : guide).contains(Key(Field(f)).toLower());
    }
}

bool DeviceChoices::IsSimulator() const { return choice(kCameraDrivers, m_value[CameraDriver]) == kCameraDrivers[0]; }
bool DeviceChoices::IsIndi() const { return choice(kCameraDrivers, m_value[CameraDriver]) == kCameraDrivers[1]; }
bool DeviceChoices::IsPhd2() const { return choice(kGuiderDrivers, m_value[GuiderDriver]) == kGuiderDrivers[1]; }

QString DeviceChoices::Phd2Port() const
{
    const std::optional<QString> instance = stored(Phd2Instance);
    return instance ? QString::number(4400 + instance->toInt() - 1) : QString();
}

bool DeviceChoices::active(Field field) const
{
    switch (field) {
    case CameraDriver:
    case GuiderDriver:
        return true;
    case Filters:
    case SensorWidth:
    case SensorHeight:
    case TimeScale:
        return IsSimulator();
    case Phd2Host:
    case Phd2Instance:
        return IsPhd2();
    default:
        return IsIndi();
    }
}

std::optional<QString> DeviceChoices::stored(Field field) const
{
    const Spec& spec = kSpecs[field];
    const QString text = m_value[field].trimmed();
    switch (spec.kind) {
    case Spec::Choice: {
        const QString c = choice(field == CameraDriver ? kCameraDrivers : kGuiderDrivers, text);
        return c.isEmpty() ? std::nullopt : std::optional<QString>(c);
    }
    case Spec::Text:
        if (text.isEmpty() && field != IndiWheel)
            return std::nullopt;
        if ((field == IndiHost || field == Phd2Host) && text.contains(QLatin1Char(' ')))
            return std::nullopt;
        return text;
    case Spec::Names: {
        const QStringList list = names(text);
        for (const QString& n : list)
            if (n.startsWith(QLatin1String("Filter")))
                return std::nullopt;
        return list.isEmpty() ? std::nullopt : std::optional<QString>(list.join(QLatin1Char(',')));
    }
    case Spec::Integer: {
        const std::optional<int> v = TryStrToInt(text);
        return v && *v >= spec.min && *v <= spec.max ? std::optional<QString>(QString::number(*v)) : std::nullopt;
    }
    case Spec::Decimal: {
        const std::optional<double> v = parseDecimal(text);
        return v && *v >= spec.min && *v <= spec.max ? std::optional<QString>(decimalText(*v)) : std::nullopt;
    }
    }
    return std::nullopt;
}

QString DeviceChoices::problem(Field field) const
{
    if (stored(field))
        return QString();
    const Spec& spec = kSpecs[field];
    const QString what = QLatin1String(spec.what);
    switch (spec.kind) {
    case Spec::Choice:
        return QStringLiteral("Choose a %1 (the settings file names \"%2\", which Tandexa does not know).")
            .arg(what, m_value[field].trimmed());
    case Spec::Text:
        return m_value[field].trimmed().isEmpty() ? QStringLiteral("%1: give a name.").arg(what)
                                                  : QStringLiteral("%1: a host name has no blanks.").arg(what);
    case Spec::Names:
        return names(m_value[field]).isEmpty()
            ? QStringLiteral("Filters: give at least one filter name (names are separated by commas).")
            : QStringLiteral("Filters: a name may not begin with \"Filter\" (Tandexa reads the names up to the "
                             "first one that does).");
    case Spec::Integer:
        return QStringLiteral("%1: give a whole number from %2.").arg(what, range(spec.min, spec.max, true));
    case Spec::Decimal:
        return QStringLiteral("%1: give %2 from %3.")
            .arg(what, field == TimeScale ? QStringLiteral("a number") : QStringLiteral("a number of seconds"),
                 range(spec.min, spec.max, false));
    }
    return QString();
}

QList<DeviceChoices::Problem> DeviceChoices::Problems() const
{
    QList<Problem> list;
    for (int f = 0; f < FieldCount; ++f)
        if (active(Field(f)) && !problem(Field(f)).isEmpty())
            list << Problem(Field(f), problem(Field(f)));
    return list;
}

QStringList DeviceChoices::Notes() const
{
    QStringList notes;
    if (IsIndi() && choice(kGuiderDrivers, m_value[GuiderDriver]) == kGuiderDrivers[0])
        notes << QStringLiteral("An INDI camera has no guider of its own: a sequence that dithers stops at its "
                                "first dither. Choose PHD2, or None for sequences without dithering.");
    return notes;
}

QList<QPair<DeviceChoices::Field, QString>> DeviceChoices::pendingWrites(bool naming) const
{
    QList<QPair<Field, QString>> writes;
    for (int i = 0; i < FieldCount; ++i) {
        const Field f = Field(i);
        const std::optional<QString> value = stored(f);
        if (!value)
            continue;
        const bool changed = kSpecs[f].kind == Spec::Choice ? value->compare(m_loaded[f], Qt::CaseInsensitive) != 0
                                                            : *value != m_loaded[f];
        // The keys that name the chosen devices are written when missing, so
        // the file says which devices were chosen.
        const bool names = f == CameraDriver || f == GuiderDriver
            || (IsIndi() && (f == IndiHost || f == IndiPort || f == IndiCamera || f == IndiWheel))
            || (IsPhd2() && (f == Phd2Host || f == Phd2Instance));
        if (changed || (naming && names && !m_present[f]))
            writes << qMakePair(f, *value);
    }
    return writes;
}

QStringList DeviceChoices::Save(const QString& settingsPath) const
{
    IniFile ini(settingsPath);
    QStringList written;
    for (const auto& [field, value] : pendingWrites()) {
        ini.WriteString(Section(field), Key(field), value);
        written << Section(field) + QLatin1Char('/') + Key(field);
    }
    return written;
}

SimulatorSettings DeviceChoices::Simulator() const
{
    SimulatorSettings s = SimulatorSettings::FromIni(IniFile(m_path));
    const auto text = [this](Field f) { return stored(f).value_or(m_loaded[f]); };
    s.Filters = names(text(Filters));
    s.SensorWidth = text(SensorWidth).toInt();
    s.SensorHeight = text(SensorHeight).toInt();
    s.TimeScale = parseDecimal(text(TimeScale)).value_or(s.TimeScale);
    return s;
}

IndiSettings DeviceChoices::Indi() const
{
    IndiSettings s = IndiSettings::FromIni(IniFile(m_path));
    const auto text = [this](Field f) { return stored(f).value_or(m_loaded[f]); };
    s.Host = text(IndiHost);
    s.Port = text(IndiPort).toInt();
    s.Camera = text(IndiCamera);
    s.Wheel = text(IndiWheel);
    s.ConnectTimeout = parseDecimal(text(IndiConnectTimeout)).value_or(s.ConnectTimeout);
    s.ReplyTimeout = parseDecimal(text(IndiReplyTimeout)).value_or(s.ReplyTimeout);
    s.FilterTimeout = parseDecimal(text(IndiFilterTimeout)).value_or(s.FilterTimeout);
    s.ImageTimeout = parseDecimal(text(IndiImageTimeout)).value_or(s.ImageTimeout);
    return s;
}

GuiderSettings DeviceChoices::Guider() const
{
    GuiderSettings s = GuiderSettings::FromIni(IniFile(m_path));
    s.DriverText = stored(GuiderDriver).value_or(m_value[GuiderDriver]);
    s.Driver = IsPhd2() ? GuiderSettings::Kind::Phd2
        : s.DriverText == kGuiderDrivers[0] ? GuiderSettings::Kind::Camera
        : s.DriverText == kGuiderDrivers[2] ? GuiderSettings::Kind::None
                                            : GuiderSettings::Kind::Unknown;
    s.Phd2Host = stored(Phd2Host).value_or(m_loaded[Phd2Host]);
    s.Phd2Instance = stored(Phd2Instance).value_or(m_loaded[Phd2Instance]).toInt();
    return s;
}
