#ifndef QUILLMARK_RESOURCES_IMAGES_H
#define QUILLMARK_RESOURCES_IMAGES_H

#include <QIcon>
#include <QImage>

/// The program's images, drawn in code so that no binary file has to be kept or loaded.
namespace Images {

/// State icons of the catalog rows: 0 complete, 1 above the yellow threshold, 2 at or below it, 3 errors.
constexpr int StateIconCount = 4;
/// Width and height of a state icon in pixels.
constexpr int StateIconSize = 12;

/// State icon index (0 to StateIconCount - 1), transparent outside its figure, drawn for a screen of scale device
/// pixels to a pixel: an image of 12 * scale pixels square whose device pixel ratio is scale, so that it fills the
/// 12 by 12 slot sharply. The states differ in shape and mark, not in colour alone: complete is a full green disc
/// with a check mark, above the threshold a yellow ring three quarters filled, at or below it a red ring one
/// quarter filled, errors a full red disc with an exclamation mark. A null image for any other index.
QImage stateIcon(int index, int scale = 1);

/// Width and height of a menu image in pixels.
constexpr int MenuImageSize = 16;

/// Menu image of the editor items: a green pencil lying diagonally, its point at the lower left. Transparent
/// around the figure.
QImage pencilImage();
/// Menu image of the check item: a magnifying glass, light blue lens in a blue-grey ring, orange handle towards the
/// lower right. Transparent around the figure.
QImage magnifierImage();

/// The window's icon drawn at size by size pixels (any size from 16 up; 16, 32, 48 and 64 are the ones it is
/// tuned for).
QImage windowIconImage(int size);
/// The window's icon at 16, 32, 48 and 64 pixels. Needs a QGuiApplication (it holds pixmaps).
QIcon windowIcon();

} // namespace Images

#endif // QUILLMARK_RESOURCES_IMAGES_H
