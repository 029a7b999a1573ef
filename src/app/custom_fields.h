#pragma once

// The custom field procedures the dialogs name: "BitmapFld" (a picture from a BMP file on a
// button), "PictureFld" (a picture file at its natural size) and "CB_Color" (a colour swatch).
// They keep what they show per field and hand it to the view as a FieldPicture; the view draws.

#include <filesystem>
#include <optional>
#include <string>

#include "common/dib.h"
#include "engine/dialog_engine.h"

namespace r7k {

int BitmapFld(FieldHandle field, int message, WParam wparam, LParam lparam);
int PictureFld(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_Color(FieldHandle field, int message, WParam wparam, LParam lparam);

// A bitmap button's picture: the file (a bare name is looked for in the current folder, then
// beside the program and in its installed data folder), else the program's own picture of that
// name.
std::optional<DibImage> LoadButtonPicture(const std::string& name);

// The image as the view takes it (0xRRGGBB pixels, top row first).
FieldPicture ToFieldPicture(const DibImage& image,
                            FieldPicture::Fit fit = FieldPicture::Fit::kNone);

void RegisterCustomFields();

}  // namespace r7k
