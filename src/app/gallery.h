#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "app/module_file.h"
#include "app/output_guard.h"
#include "engine/dialog_engine.h"

// A whole module at a glance: one HTML page with every pattern as the program's own stitch
// picture (PNG) with its name, size and colours, and every technique, sector and text record
// by name with a link to its text as `r7k show` gives it; entries that are not valid (deleted,
// "WOp") greyed in a section of their own. The page and a folder of pictures go side by side,
// named after the module ("demo-gallery.htm", "demo-gallery/").
namespace r7k {

inline constexpr char kGalleryCaption[] = "Gallery";

struct GalleryFiles {
  std::filesystem::path page;
  std::filesystem::path pictures;  // the folder of the PNG files
  int patterns = 0;                // valid patterns on the page
  int pictured = 0;                // of them with a picture (the others do not decode)
};

// The page and the picture folder of the module at `module_path` in `folder`.
GalleryFiles GalleryPaths(const std::string& module_path, const std::filesystem::path& folder);

struct GalleryResult {
  std::optional<GalleryFiles> files;     // when the page was written
  std::optional<OutputRefusal> refusal;  // a file it may not write: nothing was written
  std::string error;                     // a file it could not write
};

// Writes the page and its pictures into `folder` (made when missing). Every file is checked
// first (CheckOutputPath, nothing over the module or an existing module or entity file), so
// that a refusal writes nothing; the page is written last, so there is no page without its
// pictures.
GalleryResult WriteGallery(const std::string& module_path, const LoadedModule& module,
                           const std::filesystem::path& folder);

// The main dialog's "Gallery": the current virtual module's gallery in the private picture
// folder, opened in the web browser; "_Status" names the page.
int DP_Gallery(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app);

}  // namespace r7k
