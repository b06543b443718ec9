#include "app/preview/play_swf_command.h"

#include <memory>

#include <QApplication>
#include <QFile>
#include <QUrl>

#include "app/desktop/desktop_services.h"
#include "app/desktop/endpoints.h"
#include "app/preview/flash_view.h"
#include "app/widgets/message_box.h"
#include "app/preview/play_swf_dialog.h"
#include "engine/page_text_escaping.h"
#include "platform/file_identity.h"

namespace tembrel::app {

namespace {

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

std::string FileName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// The page's escaping keeps bytes above 0x7F; the address is text, so they
// go percent-encoded, or a name that is not UTF-8 would lose them.
QString QueryText(const std::string& escaped) {
    QString text;
    for (const char ch : escaped) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x80) text += QChar(byte);
        else text += QStringLiteral("%%1").arg(static_cast<uint>(byte), 2, 16, QChar(u'0')).toUpper();
    }
    return text;
}

}  // namespace

QString MovieGoneMessage(const std::string& path) {
    return QStringLiteral("The SWF file \"%1\" no longer exists.").arg(QFile::decodeName(QByteArray::fromStdString(path)));
}

QString MovieAddress(const SourceFileEntry& row, const ConversionSettings& settings,
                     std::uint32_t lastDurationSeconds) {
    if (row.playerSwfPath.empty()) return MovieAddressOfFile(row.outputSwfPath);
    return MovieAddressOfFile(row.playerSwfPath) +
           QStringLiteral("?soundswf=%1&autoplay=%2&loops=%3&duration=%4")
               .arg(QueryText(EscapeSoundSwfForQuery(FileName(row.outputSwfPath))))
               .arg(settings.SWFInitPlay)
               .arg(settings.SWFLoopPlay)
               .arg(lastDurationSeconds);
}

void PlaySwfCommand(QWidget* parent, const SourceFileEntry& row, const ConversionSettings& settings,
                    std::uint32_t lastDurationSeconds, const std::string& programFolder) {
    if (row.outputSwfPath.empty()) return;
    std::unique_ptr<PlaySwfDialog> dialog;
    {
        WaitCursor wait;
        dialog = std::make_unique<PlaySwfDialog>(parent, MovieAddress(row, settings, lastDurationSeconds),
                                                 settings.SWFBkgColor, programFolder);
    }
    // With a player there, a movie that is gone is told before it shows;
    // without one, the offer to get a player comes first.
    if (dialog->View()) {
        // The shell player first: it is the movie that opens.
        for (const std::string* movie : {&row.playerSwfPath, &row.outputSwfPath}) {
            if (movie->empty() || IsRegularFileAt(*movie)) continue;
            dialog.reset();
            ShowMessage(parent, MovieGoneMessage(*movie), MessageIcon::Exclamation);
            return;
        }
    }
    const int result = dialog->exec();
    dialog.reset();  // the sound stops with the dialog
    if (result != PlaySwfDialog::kNoPlayer) return;
    if (!ShowMessage(parent, kNoPlayerQuestion, MessageIcon::Question)) return;
    WaitCursor wait;
    // The page carries a player for the movie; without one, Ruffle's own.
    if (!row.htmlPath.empty()) Desktop().OpenFile(row.htmlPath);
    else Desktop().OpenUrl(QUrl(kRuffleDownloadUrl));
}

}  // namespace tembrel::app
