#include "levelbar.h"

CLevelBar::CLevelBar(QWidget* parent) : QWidget(parent) {}
bool CLevelBar::Create(bool, bool, Rgb, Rgb)
{
    return true;
}
void CLevelBar::SetUnits(const QString&) {}
void CLevelBar::SetValue(double, int, int) {}
void CLevelBar::ChangeBarColor(Rgb) {}
void CLevelBar::Reset() {}
bool CLevelBar::SetBarColor(Rgb)
{
    return true;
}
bool CLevelBar::SetBkColor(Rgb)
{
    return true;
}
void CLevelBar::setStateText(const QString&) {}
QString CLevelBar::valueText() const
{
    return {};
}
Rgb CLevelBar::barColour() const
{
    return {};
}
Rgb CLevelBar::bkColour() const
{
    return {};
}
