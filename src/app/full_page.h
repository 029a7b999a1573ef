#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/sti_picture.h"
#include "store/item_store.h"
#include "support/window_messages.h"

// The full pattern page: the pattern whole, 8 x 8 pixels per stitch inside a ruled frame
// ("PatternFull.Bmp"), presented by a small page ("Pattern.htm") opened in the web browser.
namespace r7k {

// The framed picture of a pattern record; nothing when the record does not decode.
std::optional<StiPicture> FullPatternPicture(std::span<const uint8_t> record);

// Why the framed picture of a pattern that large is not made, naming it; empty when it fits.
// Every stitch is drawn at 8 x 8 pixels, so a pattern beyond kStiMaxFramedCells cells with
// its frame is refused rather than drawn smaller.
std::string FullPageTooLarge(std::string_view name, const StiPicture& framed);

struct FullPageFiles {
  std::filesystem::path picture;  // "PatternFull.Bmp"
  std::filesystem::path page;     // "Pattern.htm"
  bool picture_written = false;
  bool page_written = false;
};

// Writes the framed picture and the page naming `name` into `folder`.
FullPageFiles WriteFullPage(const StiPicture& framed, std::string_view name,
                            const std::filesystem::path& folder);

// Opens the page with the browser registered for web pages (Windows), else $BROWSER's first
// command, else xdg-open, started without a shell. False when it could not be started.
bool OpenPageInBrowser(const std::filesystem::path& page);

// Opens a document the user reads (the manual) with the system shell's "Open" where there is
// one (Windows), else as OpenPageInBrowser.
bool OpenDocument(const std::filesystem::path& document);

// What starts the browser's argument vector; tests put a recorder here. An empty function
// restores the default (started detached, no shell).
using DocumentLauncher = std::function<bool(const std::vector<std::string>& argv)>;
void SetDocumentLauncher(DocumentLauncher launcher);

int DP_ShowFull(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app_store);

}  // namespace r7k
