#pragma once

// The program's icon ("R7K_ICON"), drawn rather than loaded, at any size.

class QImage;

namespace r7k {

QImage AppIconImage(int size);

}  // namespace r7k
