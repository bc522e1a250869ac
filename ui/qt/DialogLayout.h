#pragma once
// Lays a compiled dialog template out with Qt widgets the way Windows lays it out: dialog
// units turned into pixels through the dialog font's base units, controls made from their
// class and style bits.

#include "ResourceReader.h"

#include <QFont>
#include <QHash>
#include <QRect>

#include <span>

class QWidget;

namespace vantrell::qt {

// Pixels per 4 horizontal and per 8 vertical dialog units.
struct BaseUnits {
    int x = 0; // average character width, as Windows measures it over "A".."Z" "a".."z"
    int y = 0; // font height
};

// The dialogs' font: the template's point size in a family every Linux desktop we
// support has, so the form looks the same everywhere.
QFont DialogFont(const res::Dialog& dialog);
BaseUnits DialogBaseUnits(const QFont& font);
// x·base/4 and y·base/8, rounded as Windows' MulDiv rounds.
QRect DialogUnitsToPixels(const BaseUnits& units, int x, int y, int width, int height);

// The object name of the template's controls: the script's identifier, statics
// "IDC_STATIC_n" with n counting from 1 in template order.
QString ControlObjectName(const res::DialogItem& item, int& staticsSoFar);

// A label's text as the name of the field it labels: without the closing colon.
QString AccessibleNameOf(const QString& label);

// Creates the template's controls as children of dialog, in tab order, each named by
// ControlObjectName, sizes the dialog to the template and sets its font, then applies the
// dialog's initialisation data as the dialog initialises: add-string records fill the
// lists, in sorted order where the list is sorted. A label right before an edit or a list
// becomes its buddy and gives it its accessible name. Returns the controls that have an ID.
QHash<int, QWidget*> BuildDialog(QWidget& dialog, const res::Dialog& dialogTemplate,
                                 std::span<const res::DialogInitEntry> init = {});

} // namespace vantrell::qt
