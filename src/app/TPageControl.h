#pragma once
// TPageControl: a tab widget whose tabs all have one fixed width (80 pixels
// on the main window), like a classic page control with a set tab width.
#include <QTabWidget>

class TPageControl : public QTabWidget {
    Q_OBJECT
public:
    explicit TPageControl(QWidget* parent = nullptr);
    void setTabWidth(int width);
    int tabWidth() const;
};
