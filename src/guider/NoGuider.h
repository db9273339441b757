#pragma once
// NoGuider: the guider of a setup that has none ([Guider] Driver=None). Every
// operation throws AutomationError saying so and naming the settings file, so
// a run that dithers stops with a message that points at the fix.
#include "guider/IGuider.h"

#include <QString>

class NoGuider : public IGuider {
public:
    explicit NoGuider(QString settingsPath) : m_settingsPath(std::move(settingsPath)) {}

    float XStarPosition() override { fail(); }
    float YStarPosition() override { fail(); }
    void MoveStar(float, float) override { fail(); }
    float XError() override { fail(); }
    float YError() override { fail(); }

private:
    [[noreturn]] void fail() const;

    QString m_settingsPath;
};
