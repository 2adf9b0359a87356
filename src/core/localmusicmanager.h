#pragma once

#include "models.h"
#include "tagprobe.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

class QFileSystemWatcher;
class QVariant;

// Owns the local library: the records of the audio files found under one scan folder.
// A scan walks the folder breadth-first in slices of the event loop (following folder links, but
// never entering the same real folder twice), queues the supported files and then probes one
// file per turn of the event loop, reporting progress through signals. The scan folder itself is watched; a change
// there is only logged.
class LocalMusicManager : public QObject
{
    Q_OBJECT

public:
    explicit LocalMusicManager(QObject *parent = nullptr);
    ~LocalMusicManager() override;

    void startScan(const QString &path);
    bool isScanning() const;
    QString scanPath() const;
    void setScanPath(const QString &path);

    const QList<LocalMusicFile> &musicFiles() const;
    void clearMusicList();
    void addMusicFile(const QString &filePath);

    bool isSupportedFile(const QString &filePath) const;
    static QStringList supportedFormats();

    // Distinct non-empty values in order of first appearance; case-sensitive.
    QStringList artists() const;
    QStringList albums() const;
    QList<LocalMusicFile> musicByArtist(const QString &artist) const;
    QList<LocalMusicFile> musicByAlbum(const QString &album) const;

    // Start-up restore of a stored library (settings "localMusic/musicFiles" and ".../fileCount").
    // Returns the stored paths to hand to restoreStoredFile() in order; empty when nothing is
    // stored. The count only tells "nothing stored" when it reads as 0: the list itself is what
    // counts, so a count that is missing, negative, not a number or too large loads the list.
    // When the scan folder is missing, or most stored files are, the stored entries whose files
    // are gone are kept as unavailable (an unmounted drive must not erase the library).
    QStringList prepareRestore(const QVariant &storedCount, const QVariantList &stored);
    // Reads one stored file again: probes it when it exists, keeps its stored record marked
    // unavailable when prepareRestore() said so, else drops it (its folder is there, it is not).
    void restoreStoredFile(const QString &filePath);
    // Why entries are unavailable, for the user; empty when every stored file was found.
    QString restoreNotice() const { return m_restoreNotice; }

    // How files are probed; TagLib with the media-player fallback unless told otherwise.
    void setProbeMethod(ProbeMethod method);
    ProbeMethod probeMethod() const;

signals:
    void scanStarted();
    void scanProgress(int current, int total, QString fileName);
    void scanFinished(int totalFiles);
    void scanError(QString error);
    void musicListChanged();

private slots:
    void processScanQueue();
    void onDirectoryChanged(QString path);

private:
    void walkFolders();
    void processFile(const QString &filePath);
    void readMetadata(const QString &filePath, LocalMusicFile &file);

    QList<LocalMusicFile> m_musicFiles;
    // Stored records kept while their files are unreachable, by path.
    QHash<QString, LocalMusicFile> m_unavailable;
    QString m_restoreNotice;
    QStringList m_scanQueue;
    // The folder walk between its slices.
    QStringList m_pendingFolders;
    QSet<QString> m_visitedFolders;
    QFileSystemWatcher *m_watcher = nullptr;
    QString m_scanPath;
    bool m_isScanning = false;
    int m_totalFiles = 0;
    int m_processedFiles = 0;
    ProbeMethod m_probeMethod = ProbeMethod::Automatic;
};
