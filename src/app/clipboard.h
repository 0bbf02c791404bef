#pragma once

#include <QByteArray>
#include <QString>

#include "capture/png_copy.h"

namespace fk {

// Puts a picture on the clipboard as image/png, and the file it was saved to as text/uri-list,
// at once: a program that asks for the PNG before it is made gets it once it is. The clipboard
// holds it while this process runs, until another program takes the clipboard.
void putOnClipboard(const QString& path, PngBytes png);

// For a process that is about to end: starts a process of this program in the background that
// holds the picture on the clipboard until another program takes it, as xclip does, and returns
// once that process holds it. Returns why not, empty when it holds it.
QString holdClipboardInBackground(const QString& path, const QByteArray& png);

// Whether this process is such a holder, and its entry: it reads the path and the PNG from its
// standard input, takes the clipboard, says so on its standard output and serves the clipboard
// until another program takes it.
bool isClipboardHolder();
int runClipboardHolder(int argc, char** argv);

}  // namespace fk
