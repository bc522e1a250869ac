#pragma once
// Lays a dialog template out with Qt widgets the way Windows lays it out: dialog units
// turned into pixels through the dialog font's base units.

#include "DialogTemplate.h"

#include <QFont>
#include <QHash>
#include <QRect>

class QWidget;

namespace vantrell::qt {

// Pixels per 4 horizontal and per 8 vertical dialog units.
struct BaseUnits {
    int x = 0; // average character width, as Windows measures it over "A".."Z" "a".."z"
    int y = 0; // font height
};

// The dialogs' font: the template's point size in a family every Linux desktop we
// support has, so the form looks the same everywhere.
QFont DialogFont(const DialogTemplate& dialog);
BaseUnits DialogBaseUnits(const QFont& font);
// x·base/4 and y·base/8, rounded as Windows' MulDiv rounds.
QRect DialogUnitsToPixels(const BaseUnits& units, int x, int y, int width, int height);

// Creates the template's controls as children of dialog, in tab order, each named by
// its identifier (statics "IDC_STATIC_n", n counting from 1 in script order), sizes the
// dialog to the template and sets its font. Returns the controls that have an ID.
QHash<int, QWidget*> BuildDialog(QWidget& dialog, const DialogTemplate& dialogTemplate);

} // namespace vantrell::qt
