#pragma once
// A tab bar that gives every tab the same width, whatever its caption.
#include <QTabBar>

class FixedWidthTabBar : public QTabBar {
    Q_OBJECT
public:
    explicit FixedWidthTabBar(QWidget* parent = nullptr) : QTabBar(parent) {}
    int fixedTabWidth = 80;

protected:
    QSize tabSizeHint(int index) const override
    {
        QSize size = QTabBar::tabSizeHint(index);
        size.setWidth(fixedTabWidth);
        return size;
    }
};
