// The program's own artwork, PNG files of this folder embedded into the program when it is built.
#pragma once

#include <cstddef>

namespace tavrin::artwork {

struct File {
  const unsigned char* data;
  std::size_t size;
};

// 18x18 button pictures, and the same at 36x36 for screens that scale by 2; olive (128,128,0)
// pixels are meant to be transparent.
extern const File kOkPicture;      // green check mark (ok.png)
extern const File kOkPicture2x;    // (ok@2x.png)
extern const File kBackPicture;    // red cross (back.png)
extern const File kBackPicture2x;  // (back@2x.png)
extern const File kQuitPicture;    // open door (quit.png)
extern const File kQuitPicture2x;  // (quit@2x.png)
// 32x32 window icon, 16 colours, fully opaque (tavrin.png).
extern const File kIcon;

}  // namespace tavrin::artwork
