#include "audio/source_file_list.h"

#include <strings.h>

#include "audio/source_extensions.h"
#include "audio/source_selection.h"
#include "platform/path_parts.h"

namespace tembrel {

std::optional<SourceFileEntry> ProbeSourceFile(const std::string& path) {
    const int typeCode = SourceTypeCode(path);
    std::unique_ptr<AudioSource> source = OpenAudioSource(path, typeCode, 0);
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

int SourceFileList::AddSourceFile(const std::string& path) {
    for (const auto& entry : entries_)
        if (::strcasecmp(entry->sourcePath.c_str(), path.c_str()) == 0) return 0;
    std::optional<SourceFileEntry> probed = ProbeSourceFile(path);
    if (!probed) return -1;
    return InsertSourceRow(std::make_unique<SourceFileEntry>(std::move(*probed)));
}

int SourceFileList::InsertSourceRow(std::unique_ptr<SourceFileEntry> entry) {
    const SourceRowTexts texts = RowTextsFor(*entry);
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
        if (AddSourceFile(paths[i]) == -1) failed.Add(paths[i]);
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
