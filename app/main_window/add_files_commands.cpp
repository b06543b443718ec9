#include "app/main_window/add_files_commands.h"

#include <algorithm>

#include <QApplication>
#include <QFileDialog>

#include "app/desktop/on_disk_paths.h"
#include "audio/source_scan.h"
#include "platform/file_identity.h"

namespace tembrel::app {

namespace {

struct Filter {
    const char* display;
    const char* patterns;  // ';'-separated, as the display text shows them
};

constexpr Filter kFilters[] = {
    {"All Supported Files",
     "*.aac;*.aiff;*.aif;*.aifc;*.afc;*.au;*.cda;*.adx;*.ac3;*.flac;*.fla;*.mo3;*.mod;*.xm;*.it;*.s3m;*.mtm;"
     "*.umx;*.ape;*.mac;*.mp3;*.mp2;*.mp1;*.m4a;*.m4b;*.mp4;*.mpc;*.mp+;*.mpp;*.snd;*.ogg;*.oga;*.spx;*.tta;"
     "*.wav;*.wave;*.wv;*.wma;*.wmv;*.asf"},
    {"Advanced Audio Coding (*.aac)", "*.aac"},
    {"AIFF Files (*.aiff;*.aif;*.aifc;*.afc)", "*.aiff;*.aif;*.aifc;*.afc"},
    {"AU Files (*.au)", "*.au"},
    {"CD Audio (*.cda)", "*.cda"},
    {"CRI ADX Files (*.adx)", "*.adx"},
    {"Dolby Digital AC-3 (*.ac3)", "*.ac3"},
    {"Free Lossless Audio Codec (*.flac;*.fla)", "*.flac;*.fla"},
    {"MO3 Musics (*.mo3)", "*.mo3"},
    {"MOD Musics (*.mod;*.xm;*.it;*.s3m;*.mtm;*.umx)", "*.mod;*.xm;*.it;*.s3m;*.mtm;*.umx"},
    {"Monkey's Audio (*.ape;*.mac)", "*.ape;*.mac"},
    {"MP3 Files (*.mp3;*.mp2;*.mp1)", "*.mp3;*.mp2;*.mp1"},
    {"MPEG-4 Files (*.m4a;*.m4b;*.mp4)", "*.m4a;*.m4b;*.mp4"},
    {"Musepack (*.mpc;*.mp+;*.mpp)", "*.mpc;*.mp+;*.mpp"},
    {"NeXT/Sun Sound Files (*.snd)", "*.snd"},
    {"OGG Files (*.ogg;*.oga)", "*.ogg;*.oga"},
    {"Speex (*.spx)", "*.spx"},
    {"The True Audio (*.tta)", "*.tta"},
    {"WAV Files (*.wav;*.wave)", "*.wav;*.wave"},
    {"WavPack (*.wv)", "*.wv"},
    {"Windows Media Files (*.wma;*.wmv;*.asf)", "*.wma;*.wmv;*.asf"},
    // "*" rather than "*.*": names without a dot are files too.
    {"All Files (*.*)", "*"},
};

// Qt's dialog checks each chosen name as its string encodes, which a name
// that is not UTF-8 never passes; those are checked by their bytes on disk.
class SourceFileDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    void accept() override {
        const QStringList files = selectedFiles();
        const bool lossy = std::any_of(files.begin(), files.end(),
                                       [](const QString& file) { return file.contains(QChar::ReplacementCharacter); });
        bool onDisk = lossy;
        for (const QString& file : files)
            for (const std::string& path : OnDiskPaths(file)) onDisk = onDisk && IsRegularFileAt(path);
        if (onDisk) QDialog::accept();
        else QFileDialog::accept();
    }
};

}  // namespace

QStringList SourceFileFilters() {
    QStringList filters;
    for (const Filter& filter : kFilters) {
        const QString patterns = QString(filter.patterns).replace(';', ' ');
        filters << QString("%1 (%2)").arg(filter.display, patterns);
    }
    return filters;
}

std::vector<std::string> ChooseSourceFiles(QWidget* parent) {
    SourceFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    const QStringList filters = SourceFileFilters();
    // The display texts already name their patterns; Qt would add them again.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.front());
    std::vector<std::string> paths;
    if (dialog.exec() != QDialog::Accepted) return paths;
    for (const QString& file : dialog.selectedFiles())
        for (std::string& path : OnDiskPaths(file)) paths.push_back(std::move(path));
    return paths;
}

std::optional<std::string> ChooseSourceFolder(QWidget* parent, const std::string& remembered) {
    QString start = QString::fromStdString(remembered);
    while (start.size() > 1 && start.endsWith('/')) start.chop(1);
    const QString chosen = QFileDialog::getExistingDirectory(parent, "Please choose a folder:", start);
    if (chosen.isEmpty()) return std::nullopt;
    std::string folder = OnDiskPaths(chosen).front();
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::vector<std::string> CollectDroppedPaths(const QList<QUrl>& urls) {
    std::vector<std::string> paths;
    for (const QUrl& url : urls)
        if (url.isLocalFile()) CollectDroppedItem(paths, LocalFileBytes(url));
    return paths;
}

}  // namespace tembrel::app
