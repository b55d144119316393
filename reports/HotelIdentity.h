#pragma once

#include "ReportDefinition.h"

// The hotel's own name, logo and contact line on printed documents, read from
// TDatosDelHotel when each document is produced. Whatever is not stored (no
// table, no row, an empty field) prints as the program's own: the name "Hotel
// Velmira", the hotel picture, no contact line.
namespace HotelIdentity {

// The program's own name, printed when the hotel has stored none.
QString defaultName();

// The stored logo, kept in its proportions and centred in the box; the hotel
// picture, stretched, when there is none.
ReportElement logo(MmRect box);

// The stored name on one line, in Cambria bold italic of `points` points, its
// box as wide as its text; a name wider than `fitWidth` millimetres prints at a
// smaller size of the same font until it fits. Transparent.
ReportElement name(MmRect box, double points, double fitWidth);

// Address, phone, e-mail and tax identification, those given, on one small line
// of `fitWidth` millimetres at most; nothing at all when none is given.
ReportElement contactLine(MmRect box, double fitWidth);

} // namespace HotelIdentity
