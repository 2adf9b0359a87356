#pragma once

#include <QString>

// The rules that keep the media folder closed: which relative paths may be served at all, and
// the virtual place of covers that came out of a file's tags.
namespace CataloguePaths {

// A path below the media folder made only of ordinary names: not empty, not absolute, no empty,
// "." or ".." part, no hidden part (starting with '.'), no backslash and no control character.
bool isSafeRelativePath(const QString &relative);
// Why a relative path is not served, in words for a warning ("its name holds a line break");
// empty when it is safe.
QString whyNotServed(const QString &relative);

// Whether a canonical path lies strictly inside the canonical root folder.
bool isInside(const QString &canonicalRoot, const QString &canonicalPath);

// Covers taken from tags live in the database; they are served under this hidden prefix, which
// no file of the media folder can use (hidden paths are never served from disk).
QString embeddedCoverPath(int albumId, const QString &suffix);
// The album id of an embedded cover path, or 0 when the path is not one.
int albumIdOfEmbeddedCover(const QString &relative);

// The content type of a media or cover file, by its suffix.
QByteArray contentTypeFor(const QString &fileName);

} // namespace CataloguePaths
