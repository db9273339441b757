#include "app/TDevicesForm.h"

#include "ui_TDevicesForm.h"

#include "app/Application.h"
#include "platform/Error.h"
#include "platform/StandardError.h"

#include <QPushButton>

const QString TDevicesForm::OwnWheel = QStringLiteral("The camera's own wheel");

namespace {
using F = DeviceChoices;
}

TDevicesForm::TDevicesForm(const QString& settingsPath, bool connected, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TDevicesForm>()), m_path(settingsPath), m_connected(connected)
{
    ui->setupUi(this);
    setFont(Application::FormFont());
    setMinimumWidth(500);
    m_choices.Load(settingsPath);
    ui->AdvancedPart->setVisible(false);
    showValues();
    wire();
    showParts();
    showNotes();
    if (m_choices.IsIndi())
        findDevices();
}

TDevicesForm::~TDevicesForm() = default;

QLineEdit* TDevicesForm::editFor(DeviceChoices::Field field) const
{
    switch (field) {
    case F::Filters: return ui->FiltersEdit;
    case F::SensorWidth: return ui->SensorWidthEdit;
    case F::SensorHeight: return ui->SensorHeightEdit;
    case F::TimeScale: return ui->TimeScaleEdit;
    case F::IndiHost: return ui->IndiHostEdit;
    case F::IndiPort: return ui->IndiPortEdit;
    case F::IndiCamera: return ui->IndiCameraCombo->lineEdit();
    case F::IndiWheel: return ui->IndiWheelCombo->lineEdit();
    case F::IndiConnectTimeout: return ui->IndiConnectTimeoutEdit;
    case F::IndiReplyTimeout: return ui->IndiReplyTimeoutEdit;
    case F::IndiFilterTimeout: return ui->IndiFilterTimeoutEdit;
    case F::IndiImageTimeout: return ui->IndiImageTimeoutEdit;
    case F::Phd2Host: return ui->Phd2HostEdit;
    case F::Phd2Instance: return ui->Phd2InstanceEdit;
    default: return nullptr;
    }
}

void TDevicesForm::showValues()
{
    m_loading = true;
    for (int f = 0; f < F::FieldCount; ++f) {
        QLineEdit* edit = editFor(F::Field(f));
        if (!edit)
            continue;
        const QString value = m_choices.Value(F::Field(f));
        edit->setText(f == F::IndiWheel && value.isEmpty() ? OwnWheel : value);
        edit->setCursorPosition(0);
    }
    ui->SimulatorRadio->setChecked(m_choices.IsSimulator());
    ui->IndiRadio->setChecked(m_choices.IsIndi());
    const QString guider = m_choices.Value(F::GuiderDriver);
    ui->CameraGuiderRadio->setChecked(guider == QLatin1String("Camera"));
    ui->Phd2Radio->setChecked(guider == QLatin1String("PHD2"));
    ui->NoGuiderRadio->setChecked(guider == QLatin1String("None"));
    fillWheelList();
    m_loading = false;
}

void TDevicesForm::wire()
{
    for (int f = 0; f < F::FieldCount; ++f) {
        if (QLineEdit* edit = editFor(F::Field(f)))
            connect(edit, &QLineEdit::textChanged, this, [this, f](const QString& text) {
                edited(F::Field(f), f == F::IndiWheel && text == OwnWheel ? QString() : text);
            });
    }
    const auto choose = [this](QAbstractButton* radio, F::Field field, const QString& value) {
        connect(radio, &QAbstractButton::toggled, this, [this, field, value](bool on) {
            if (!on)
                return;
            edited(field, value);
            showParts();
            if (field == F::CameraDriver && value == QLatin1String("INDI") && !m_found && !m_tester.Finding())
                findDevices();
        });
    };
    choose(ui->SimulatorRadio, F::CameraDriver, QStringLiteral("Simulator"));
    choose(ui->IndiRadio, F::CameraDriver, QStringLiteral("INDI"));
    choose(ui->CameraGuiderRadio, F::GuiderDriver, QStringLiteral("Camera"));
    choose(ui->Phd2Radio, F::GuiderDriver, QStringLiteral("PHD2"));
    choose(ui->NoGuiderRadio, F::GuiderDriver, QStringLiteral("None"));
    connect(ui->AdvancedCheck, &QCheckBox::toggled, this, [this](bool on) {
        ui->AdvancedPart->setVisible(on);
        fit();
    });
    connect(ui->IndiCameraCombo, &QComboBox::currentTextChanged, this, [this] { fillWheelList(); });
    connect(ui->FindDevicesButton, &QPushButton::clicked, this, &TDevicesForm::findDevices);
    connect(ui->TestCameraButton, &QPushButton::clicked, this, [this] {
        ui->TestCameraButton->setEnabled(false);
        ui->CameraReport->setText(QStringLiteral("Testing the camera..."));
        m_tester.TestCamera(m_choices);
    });
    connect(ui->TestGuiderButton, &QPushButton::clicked, this, [this] {
        ui->TestGuiderButton->setEnabled(false);
        ui->GuiderReport->setText(QStringLiteral("Testing the guider..."));
        m_tester.TestGuider(m_choices);
    });
    connect(&m_tester, &DeviceTester::cameraTested, this, [this](bool ok, const QString& report) {
        ui->TestCameraButton->setEnabled(true);
        ui->CameraReport->setText((ok ? QString() : QStringLiteral("Test failed: ")) + report);
        fit();
    });
    connect(&m_tester, &DeviceTester::guiderTested, this, [this](bool ok, const QString& report) {
        ui->TestGuiderButton->setEnabled(true);
        ui->GuiderReport->setText((ok ? QString() : QStringLiteral("Test failed: ")) + report);
        fit();
    });
    connect(&m_tester, &DeviceTester::devicesFound, this, &TDevicesForm::fillLists);
    connect(&m_tester, &DeviceTester::devicesNotFound, this, [this](const QString& message) {
        ui->FindDevicesButton->setEnabled(true);
        ui->LookupStatus->setText(message + QStringLiteral(". The names typed below are kept."));
        fit();
    });
    connect(ui->ButtonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->ButtonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void TDevicesForm::edited(DeviceChoices::Field field, const QString& text)
{
    if (m_loading)
        return;
    m_choices.SetValue(field, text);
    showNotes();
}

void TDevicesForm::showParts()
{
    ui->SimulatorPage->setVisible(!m_choices.IsIndi());
    ui->IndiPage->setVisible(m_choices.IsIndi());
    ui->Phd2Part->setEnabled(m_choices.IsPhd2());
    fit();
}

void TDevicesForm::showNotes()
{
    const QString port = m_choices.Phd2Port();
    ui->Phd2PortLabel->setText(QStringLiteral("Port %1").arg(port.isEmpty() ? QStringLiteral("?") : port));
    QStringList lines;
    // Problems show once OK was pressed, so a field being typed is not scolded.
    if (m_problemsShown)
        for (const auto& problem : m_choices.Problems())
            lines << problem.second;
    lines << m_choices.Notes();
    if (m_connected && m_choices.Changed())
        lines << QStringLiteral("The camera is connected: the new choices apply at the next \"Connect MaxIm\".");
    ui->NotesLabel->setText(lines.join(QLatin1Char('\n')));
    ui->NotesLabel->setVisible(!lines.isEmpty());
    fit();
}

void TDevicesForm::fit()
{
    // The window grows with the reports (wrapped text) rather than
    // squeezing the fields.
    layout()->activate();
    const int wanted = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width()) : sizeHint().height();
    if (wanted > height())
        resize(width(), wanted);
}

void TDevicesForm::findDevices()
{
    ui->FindDevicesButton->setEnabled(false);
    ui->LookupStatus->setText(QStringLiteral("Looking for devices..."));
    m_tester.FindIndiDevices(m_choices);
}

void TDevicesForm::fillLists(const FoundDevices& found)
{
    ui->FindDevicesButton->setEnabled(true);
    m_found = found;
    QString summary = found.Summary;
    const QString camera = m_choices.Value(F::IndiCamera).trimmed();
    if (!camera.isEmpty() && !found.Cameras.contains(camera))
        summary += QStringLiteral(" It has no camera \"%1\".").arg(camera);
    ui->LookupStatus->setText(summary);
    fit();
    // The lists change; what the fields hold stays (it may be typed ahead
    // of a device the server does not have yet).
    const QString typed = ui->IndiCameraCombo->currentText();
    {
        const QSignalBlocker block(ui->IndiCameraCombo);
        ui->IndiCameraCombo->clear();
        ui->IndiCameraCombo->addItems(found.Cameras);
        ui->IndiCameraCombo->setCurrentText(typed);
    }
    fillWheelList();
}

void TDevicesForm::fillWheelList()
{
    const QString typed = ui->IndiWheelCombo->currentText();
    const QString camera = ui->IndiCameraCombo->currentText().trimmed();
    QStringList items;
    // "The camera's own wheel" where the camera has one (or where it is not
    // known whether it has).
    if (!m_found || m_found->CamerasWithWheel.contains(camera) || !m_found->Cameras.contains(camera))
        items << OwnWheel;
    if (m_found)
        items << m_found->Wheels;
    const QSignalBlocker block(ui->IndiWheelCombo);
    ui->IndiWheelCombo->clear();
    ui->IndiWheelCombo->addItems(items);
    ui->IndiWheelCombo->setCurrentText(typed);
}

void TDevicesForm::done(int result)
{
    if (result != QDialog::Accepted) {
        QDialog::done(result);
        return;
    }
    const QList<DeviceChoices::Problem> problems = m_choices.Problems();
    if (!problems.isEmpty()) {
        m_problemsShown = true;
        showNotes();
        if (problems.first().first >= F::IndiConnectTimeout && problems.first().first <= F::IndiImageTimeout)
            ui->AdvancedCheck->setChecked(true);
        if (QLineEdit* edit = editFor(problems.first().first))
            edit->setFocus();
        return;
    }
    try {
        m_choices.Save(m_path);
    } catch (const Error& e) {
        ShowStandardError(e.message());
        return;
    }
    QDialog::done(result);
}
