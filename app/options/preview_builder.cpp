#include "app/options/preview_builder.h"

#include <unistd.h>

#include <atomic>
#include <mutex>
#include <new>
#include <utility>

#include <QMetaObject>
#include <QThreadPool>

#include "engine/conversion_driver.h"
#include "engine/conversion_file_steps.h"
#include "swf/swf_template.h"

namespace tembrel::app {

// One build, shared by the builder (GUI thread) and the worker. The worker
// fills in the outcome, then says it is finished under `lock`; the builder
// going away says so under the same lock, so that exactly one of the two
// removes a movie nobody will show.
struct PreviewBuilder::Job {
    PreviewRequest request;
    // A newer request came, or the builder went: no movie is to be written.
    std::atomic<bool> dropped{false};
    std::mutex lock;
    bool finished = false;
    bool abandoned = false;
    std::string path;  // the movie written, "" when none
    std::string why;   // PrepareTemplate's reason when there is none
};

namespace {

void RemoveFile(const std::string& path) {
    if (!path.empty()) ::unlink(path.c_str());
}

// The worker's part. Nothing may leave it: a thread pool's task that throws
// ends the program, and a large picture can run memory out anywhere here.
void Build(PreviewBuilder::Prepare& prepare, const PreviewRequest& request, const std::atomic<bool>& dropped,
           std::string& path, std::string& why) {
    try {
        SwfTemplate movie;
        if (!prepare(request, movie, why)) return;
        // Overtaken while it was being made: writing a movie of the
        // picture's size would only be removed again.
        if (dropped) return;
        path = SavePreviewMovie(movie);
    } catch (const std::bad_alloc&) {
        why = kOutOfMemoryReason;
    }
}

}  // namespace

bool PreviewBuilder::PrepareTemplateOf(const PreviewRequest& request, SwfTemplate& movie, std::string& why) {
    ConversionSettings settings = request.settings;
    settings.CreateCtrlSWF = 1;  // a preview is a player, whatever kind the sheet is set to
    RunTemplate run;
    const TemplateResult result =
        PrepareTemplate(settings, BuilderChoice{nullptr, request.templatePath, false}, request.factors, nullptr, run);
    movie = std::move(run.tmpl);
    // A run goes on without a picture that memory cannot hold; the sheet's
    // preview is there to show the picture, so it says that it cannot.
    why = result.outOfMemory ? kOutOfMemoryReason : result.reason;
    return result && !result.outOfMemory;
}

PreviewBuilder::PreviewBuilder(QObject* parent, Prepare prepare) : QObject(parent), prepare_(std::move(prepare)) {}

PreviewBuilder::~PreviewBuilder() {
    if (!running_) return;
    running_->dropped = true;
    const std::lock_guard<std::mutex> hold(running_->lock);
    running_->abandoned = true;
    // Finished but not yet delivered: the delivery goes with this object.
    if (running_->finished) RemoveFile(running_->path);
}

void PreviewBuilder::Request(PreviewRequest request) {
    next_ = std::move(request);
    if (running_) running_->dropped = true;
    else StartNext();
}

void PreviewBuilder::StartNext() {
    auto job = std::make_shared<Job>();
    job->request = std::move(*next_);
    next_.reset();
    running_ = job;
    QThreadPool::globalInstance()->start([this, job, prepare = prepare_]() mutable {
        Build(prepare, job->request, job->dropped, job->path, job->why);
        const std::lock_guard<std::mutex> hold(job->lock);
        job->finished = true;
        if (job->abandoned) {
            RemoveFile(job->path);
            return;
        }
        // Posted under the lock, so this object is still there; should it go
        // before the call arrives, the call goes with it.
        QMetaObject::invokeMethod(this, [this, job] { Finished(job); }, Qt::QueuedConnection);
    });
}

void PreviewBuilder::Finished(const std::shared_ptr<Job>& job) {
    running_.reset();
    if (next_) {
        // Overtaken: whatever it made is not shown, and the newest goes next.
        RemoveFile(job->path);
        StartNext();
        return;
    }
    if (!job->path.empty()) {
        shown_.Adopt(job->path);
        emit Built();
        return;
    }
    emit Failed(job->why == kOutOfMemoryReason
                    ? QString::fromStdString(OutOfMemoryMessage(job->request.templatePath))
                    : QString());
}

}  // namespace tembrel::app
