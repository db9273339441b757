#pragma once
// ScriptedCameraServer: a scripted camera server for tests of everything that
// drives the camera. It hands out application, camera and document objects
// (through Factory()) that all record their calls here in order, as
// "Operation(arg,arg)" texts, and fail where the test says so.
//
// Operation names are the C++ method names (FilterNames, SetFilter, BinX,
// SetBinX, Expose, ImageReady, Document, SetDisplayName, SaveImage, ...),
// plus CreateApplication for the factory, ReleaseCamera and
// ReleaseApplication for the releases, and DocumentSaveImage for a save
// through the document. Exposures complete on Clock(), which only the test
// moves.
#include "camera/ManualCameraClock.h"
#include "camera/IMaxImApplication.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <memory>

class ScriptedCameraServer {
public:
    // --- script ---
    QStringList FilterNameList;          // answers of FilterNames(0..n-1)
    bool ErrorPastLastFilter = false;    // past the list: error, else "Filter <n>"
    QString PastLastFilterMessage = QStringLiteral("Invalid filter index");
    bool WriteFiles = false;             // SaveImage writes a small placeholder file
    QList<float> GuiderXErrors {0.0f};   // successive GuiderXError answers (the last repeats)
    QList<float> GuiderYErrors {0.0f};
    quint64 GuidingInterruptions = 0;    // what GuidingInterruptions() answers (not logged)
    // Runs at every call, before it is recorded (a click that comes while
    // the operation waits, say).
    std::function<void(const QString& operation)> OnCall;
    // Runs at every save before the file is written (a file appearing at the
    // last instant, say).
    std::function<void(const QString& path)> BeforeSave;

    // The `callNumber`-th call (from 1) of `operation` throws AutomationError
    // with `message`; callNumber 0 makes every later call fail. A `kind`
    // other than Automation throws that kind of AutomationError instead.
    enum class FailureKind { Automation, BadImage, Stopped };
    void FailAt(const QString& operation, int callNumber, const QString& message,
                FailureKind kind = FailureKind::Automation);
    // Takes back every FailAt of `operation`.
    void Heal(const QString& operation);

    ManualCameraClock& Clock() { return *m_clock; }
    std::shared_ptr<ManualCameraClock> SharedClock() const { return m_clock; }

    // Creates the application object (recorded as CreateApplication()).
    MaxImFactory Factory();

    // --- what happened ---
    QStringList Calls() const { return m_calls; }
    int CallCount(const QString& operation) const;
    // Clock times (ms) of every call of `operation`, in order.
    QList<qint64> TimesOf(const QString& operation) const;
    void ClearCalls()
    {
        m_calls.clear();
        m_callTimes.clear();
    }
    bool LinkEnabled = false;
    int Filter = 0;
    int BinX = 1, BinY = 1;
    float GuiderStarX = 100.0f, GuiderStarY = 100.0f;
    bool Exposing = false;
    int ExposeSeconds = 0;
    double ExposeEnd = 0.0;
    QStringList SavedPaths;              // every path saved, in order
    QStringList SavedNames;              // the document's name at each save
    QList<QVariantMap> SavedKeys;        // the keywords set on the document (SetFITSKey) at each save
    int LiveApplications = 0;            // created and not yet released
    int LiveCameras = 0;

    // Records one call and throws when the script says so. Used by the test
    // objects; the call is recorded even when it fails.
    void Enter(const QString& operation, const QStringList& args = {});

private:
    struct Failure {
        QString Operation;
        int CallNumber;
        QString Message;
        FailureKind Kind;
    };
    QStringList m_calls;
    QList<qint64> m_callTimes;
    QList<Failure> m_failures;
    QHash<QString, int> m_counts;
    std::shared_ptr<ManualCameraClock> m_clock = std::make_shared<ManualCameraClock>();
};
