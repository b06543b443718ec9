#pragma once
// Builds the options sheet's preview movie on a worker thread, so that a
// template with a large picture (reading it, embedding it, writing a movie
// of its size) never stops the sheet from answering. One build runs at a
// time; a request made meanwhile waits, and a later request takes its
// place, so that of a burst of changes only the newest is built next. A
// build that a newer request has overtaken is dropped: it writes no movie,
// or its movie is removed, and it never reaches the preview.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QObject>
#include <QString>

#include "app/options/preview_movie_file.h"
#include "engine/colour_factors.h"
#include "engine/conversion_settings.h"

namespace tembrel {
class SwfTemplate;
}

namespace tembrel::app {

// What one preview shows: the template at templatePath adapted to settings
// (with controls) and to the gradient and track-bar factors as they were
// when it was asked for.
struct PreviewRequest {
    ConversionSettings settings;
    std::string templatePath;
    ColourFactors factors;
};

class PreviewBuilder : public QObject {
    Q_OBJECT

public:
    // Makes the request's movie in `movie`; false with PrepareTemplate's
    // reason in `why`. Runs on a worker thread, so it reads only the request.
    using Prepare = std::function<bool(const PreviewRequest& request, SwfTemplate& movie, std::string& why)>;
    static bool PrepareTemplateOf(const PreviewRequest& request, SwfTemplate& movie, std::string& why);

    explicit PreviewBuilder(QObject* parent = nullptr, Prepare prepare = PrepareTemplateOf);
    // Returns at once: a build still running is abandoned. It writes no
    // movie after this, and one it has written is removed as it ends.
    ~PreviewBuilder() override;
    PreviewBuilder(const PreviewBuilder&) = delete;
    PreviewBuilder& operator=(const PreviewBuilder&) = delete;

    void Request(PreviewRequest request);
    // A build is running or waiting to.
    bool Busy() const { return running_ != nullptr || next_.has_value(); }
    // The newest movie built, "" before the first; removed with the builder.
    const std::string& Path() const { return shown_.Path(); }

signals:
    // The newest request's movie is at Path(); the one before is removed.
    void Built();
    // The newest request gave no movie. `message` is what the user is to be
    // told (running out of memory); "" when the preview simply stays as it
    // was (a template that cannot be used).
    void Failed(const QString& message);

private:
    struct Job;
    void StartNext();
    void Finished(const std::shared_ptr<Job>& job);

    Prepare prepare_;
    std::shared_ptr<Job> running_;
    std::optional<PreviewRequest> next_;
    PreviewMovieFile shown_;
};

}  // namespace tembrel::app
