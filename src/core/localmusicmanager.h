#pragma once

#include "models.h"
#include "tagprobe.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QFileSystemWatcher;

// Owns the local library: the records of the audio files found under one scan folder.
// A scan walks the folder breadth-first (following folder links, but never entering the same
// real folder twice), queues the supported files and then probes one file per turn of the
// event loop, reporting progress through signals. The scan folder itself is watched; a change
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
    void processFile(const QString &filePath);
    void readMetadata(const QString &filePath, LocalMusicFile &file);

    QList<LocalMusicFile> m_musicFiles;
    QStringList m_scanQueue;
    QFileSystemWatcher *m_watcher = nullptr;
    QString m_scanPath;
    bool m_isScanning = false;
    int m_totalFiles = 0;
    int m_processedFiles = 0;
    ProbeMethod m_probeMethod = ProbeMethod::Automatic;
};
