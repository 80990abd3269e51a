// Writes the program's icon as PNG files for the desktop's icon theme:
// FOLDER/NxN/apps/zentoba.png for each size.
//
// Usage: zentoba_make_icons FOLDER
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "zentoba/platform/icon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zentoba_make_icons FOLDER\n");
    return 2;
  }
  const QDir root(QString::fromLocal8Bit(argv[1]));
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    const QString dir = QStringLiteral("%1x%1/apps").arg(size);
    if (!root.mkpath(dir)) {
      std::fprintf(stderr, "cannot create %s\n", qPrintable(root.filePath(dir)));
      return 1;
    }
    const QString path = root.filePath(dir + QStringLiteral("/zentoba.png"));
    if (!zentoba::platform::DrawIcon(size).save(path)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  return 0;
}
