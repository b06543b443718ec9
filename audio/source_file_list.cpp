#include "audio/source_file_list.h"

#include "audio/source_extensions.h"
#include "audio/source_selection.h"
#include "platform/path_parts.h"

namespace tembrel {

std::optional<SourceFileEntry> ProbeSourceFile(const std::string& path, std::string* reason) {
    // Looked up by name first: a FIFO or device is never handed to a reader.
    if (std::string why = NotRegularFileReason(path); !why.empty()) {
        if (reason) *reason = std::move(why);
        return std::nullopt;
    }
    const int typeCode = SourceTypeCode(path);
    std::unique_ptr<AudioSource> source = OpenAudioSource(path, typeCode, 0, reason);
    if (!source) return std::nullopt;
    SourceFileEntry entry;
    entry.sourcePath = path;
    entry.durationSeconds = source->GetDuration();
    entry.sampleRate = source->GetSampleRate();
    entry.bitrateKbps = source->GetBitrate();
    entry.channels = source->GetSourceChannels();
    entry.typeCode = typeCode;
    source->Close();
    return entry;
}

int SourceFileList::AddSourceFile(const std::string& path, std::string* reason) {
    // Only the same file on disk is a duplicate: two names differing in
    // letter case are two files on a case-sensitive file system.
    if (const std::optional<FileId> id = FileIdAt(path)) {
        for (const auto& listed : fileIds_)
            if (listed == id) return 0;
    }
    std::optional<SourceFileEntry> probed = ProbeSourceFile(path, reason);
    if (!probed) return -1;
    return InsertSourceRow(std::make_unique<SourceFileEntry>(std::move(*probed)));
}

int SourceFileList::InsertSourceRow(std::unique_ptr<SourceFileEntry> entry) {
    const SourceRowTexts texts = RowTextsFor(*entry);
    fileIds_.push_back(FileIdAt(entry->sourcePath));
    entries_.push_back(std::move(entry));
    const int row = static_cast<int>(entries_.size()) - 1;
    if (ui_) return ui_->AppendRow(texts);
    return row;
}

std::string AddingFileText(std::size_t number, std::size_t count, const std::string& path) {
    return "[" + std::to_string(number) + "/" + std::to_string(count) + "] Adding file " +
           FileNameOf(path) + "...";
}

FailedFileList SourceFileList::LoadSourceFiles(const std::vector<std::string>& paths) {
    FailedFileList failed;
    if (ui_) {
        ui_->OpenProgress(static_cast<int>(paths.size()));
        ui_->PumpMessages();
    }
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (ui_) {
            ui_->SetProgressText(AddingFileText(i + 1, paths.size(), paths[i]));
            ui_->StepProgress();
        }
        std::string reason;
        if (AddSourceFile(paths[i], &reason) == -1) failed.Add(paths[i], reason);
        if (ui_) {
            ui_->PumpMessages();
            if (ui_->CancelRequested()) break;
        }
    }
    if (ui_) {
        ui_->CloseProgress();
        if (!failed.Empty()) ui_->ShowMessage(failed.MessageText(), MessageIcon::Exclamation);
    }
    return failed;
}

}  // namespace tembrel
