#pragma once
// RunRig: one run's world for the run tests: the scripted camera, the fake
// window, virtual time shared by both, scripted random draws and a temporary
// destination folder. The sequence starts as one pass, no delay, no
// dithering, threshold 0.5, prefix "Img".
#include "FakeRunHost.h"
#include "VirtualWaiter.h"

#include "ScriptedCameraServer.h"
#include "camera/ICamera.h"
#include "camera/IMaxImApplication.h"
#include "run/RandomSource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

class ScriptedRandom : public RandomSource {
public:
    QList<unsigned> Draws;   // taken in order; 0 when used up
    unsigned Next() override { return Draws.isEmpty() ? 0u : Draws.takeFirst(); }
};

struct RunRig {
    ScriptedCameraServer Server;
    FakeRunHost Host {Server.Clock()};
    VirtualWaiter Waiter {Server.Clock(), Host.Flags};
    ScriptedRandom Random;
    QTemporaryDir Dir;
    std::unique_ptr<IMaxImApplication> Application;
    std::unique_ptr<ICamera> Camera;

    RunRig()
    {
        Server.WriteFiles = true;
        Application = Server.Factory()();
        Camera = Application->CCDCamera();
        Host.Camera = Camera.get();
        TSequence& s = Host.Sequence;
        s.ImgFileName = "Img";
        s.DestDir = Dir.path();
        s.Iterations = 1;
        s.StartIteration = 1;
        s.DelayFrame = 0;
        s.PixelDither = Decimal4::FromCount(0);
        s.WhileGuideError = Decimal4::FromCount(5000);
        Server.ClearCalls();
    }

    void Add(int filter, int exposure, int binning, int repeat, const QString& suffix)
    {
        Host.Sequence.Items.append(TSequenceItem {filter, exposure, binning, repeat, suffix});
    }

    // A file that is there before the run.
    void Touch(const QString& name)
    {
        QFile f(QDir(Dir.path()).filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write("old");
    }

    // Connecting the camera again takes a new camera from the server, with
    // the outcome of each try taken in order (true when used up).
    void AllowReconnect(QList<bool> outcomes)
    {
        Host.Reconnect = [this, outcomes](QString* why) mutable {
            const bool ok = outcomes.isEmpty() || outcomes.takeFirst();
            if (!ok) {
                *why = "server still down";
                return false;
            }
            Camera = Application->CCDCamera();
            Host.Camera = Camera.get();
            return true;
        };
    }

    QStringList Saved() const
    {
        QStringList names;
        for (const QString& path : Server.SavedPaths)
            names << QFileInfo(path).fileName();
        return names;
    }

    // Camera calls without the image polls and the bookkeeping of creation.
    QStringList Calls() const
    {
        QStringList calls = Server.Calls();
        calls.removeAll("ImageReady()");
        return calls;
    }
};
