#include "ScriptedCameraServer.h"

#include "ScriptedApplication.h"
#include "camera/AutomationError.h"
#include "camera/BadImageError.h"
#include "camera/StopRequest.h"

void ScriptedCameraServer::FailAt(const QString& operation, int callNumber, const QString& message, FailureKind kind)
{
    m_failures.append({operation, callNumber, message, kind});
}

void ScriptedCameraServer::Heal(const QString& operation)
{
    m_failures.removeIf([&](const Failure& f) { return f.Operation == operation; });
}

int ScriptedCameraServer::CallCount(const QString& operation) const { return m_counts.value(operation); }

void ScriptedCameraServer::Enter(const QString& operation, const QStringList& args)
{
    if (OnCall)
        OnCall(operation);
    m_calls.append(operation + '(' + args.join(',') + ')');
    m_callTimes.append(m_clock->NowMs());
    const int number = ++m_counts[operation];
    for (const Failure& f : m_failures) {
        if (f.Operation != operation || (f.CallNumber != number && f.CallNumber != 0))
            continue;
        if (f.Kind == FailureKind::BadImage)
            throw BadImageError(f.Message);
        if (f.Kind == FailureKind::Stopped)
            throw StopRequestedError(f.Message);
        throw AutomationError(f.Message);
    }
}

QList<qint64> ScriptedCameraServer::TimesOf(const QString& operation) const
{
    QList<qint64> times;
    const QString start = operation + '(';
    for (qsizetype i = 0; i < m_calls.size(); ++i) {
        if (m_calls.at(i).startsWith(start))
            times << m_callTimes.at(i);
    }
    return times;
}

MaxImFactory ScriptedCameraServer::Factory()
{
    return [this]() -> std::unique_ptr<IMaxImApplication> {
        Enter("CreateApplication");
        return std::make_unique<ScriptedApplication>(*this);
    };
}
