#pragma once

#include <QByteArray>

// Pictures of the sample room types and a sample logo, drawn rather than
// shipped as files.
namespace RoomPictures {

enum class Furnishing { Single, Double, Triple, Suite, Family };

// A 320 x 240 drawing of a room with that furnishing, as the bytes of a BMP file
// (the form room type photos take in the database). Shapes and colours only: no
// text, so it needs neither fonts nor a display, and the same bytes every time.
QByteArray bmp(Furnishing furnishing);

// A 240 x 160 hotel logo (an acacia in a gold ring on white), as the bytes of a
// BMP file, the form the hotel's logo takes in the database. No text.
QByteArray logoBmp();

} // namespace RoomPictures
