#include "app/TPageControl.h"

#include "app/FixedWidthTabBar.h"

TPageControl::TPageControl(QWidget* parent) : QTabWidget(parent)
{
    setTabBar(new FixedWidthTabBar(this));
}

void TPageControl::setTabWidth(int width)
{
    static_cast<FixedWidthTabBar*>(tabBar())->fixedTabWidth = width;
    tabBar()->update();
    tabBar()->adjustSize();
}

int TPageControl::tabWidth() const
{
    return static_cast<FixedWidthTabBar*>(tabBar())->fixedTabWidth;
}
