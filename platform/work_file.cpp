#include "platform/work_file.h"

#include <utility>

namespace kuv::fsio {

namespace {

// Small pieces (a heading, a line) are gathered so that a diary of thousands
// of days costs a few hundred writes, not tens of thousands.
constexpr std::size_t kBufferBytes = std::size_t{256} << 10;

}  // namespace

WorkFileOutput::WorkFileOutput(std::string path)
    : path_(std::move(path)), workPath_(WorkPathOf(path_)) {}

WorkFileOutput::~WorkFileOutput() {
    Abandon();
}

std::string WorkFileOutput::WorkPathOf(const std::string& path) {
    return path + ".$$$";
}

bool WorkFileOutput::Open() {
    buffer_.clear();
    failed_ = !out_.Create(workPath_);
    open_ = !failed_;
    if (open_) buffer_.reserve(kBufferBytes);
    return open_;
}

bool WorkFileOutput::Write(std::string_view bytes) {
    if (!open_ || failed_) return false;
    if (buffer_.size() + bytes.size() > kBufferBytes) {
        if (!Flush()) return false;
        if (bytes.size() >= kBufferBytes) {
            failed_ = !out_.Write(bytes.data(), bytes.size());
            return !failed_;
        }
    }
    buffer_.append(bytes);
    return true;
}

bool WorkFileOutput::Flush() {
    if (!open_ || failed_) return false;
    if (!buffer_.empty()) {
        failed_ = !out_.Write(buffer_.data(), buffer_.size());
        buffer_.clear();
    }
    return !failed_;
}

bool WorkFileOutput::Commit() {
    if (!Flush()) {
        Abandon();
        return false;
    }
    bool ok = out_.Sync();
    ok = out_.Close() && ok;
    open_ = false;
    if (!ok || !Rename(workPath_, path_)) {
        Remove(workPath_);
        return false;
    }
    // The file is in place; a failed folder sync only weakens its durability
    // against a power cut.
    SyncParentDirectory(path_);
    return true;
}

void WorkFileOutput::Abandon() {
    if (!open_) return;
    out_.Close();
    open_ = false;
    buffer_.clear();
    Remove(workPath_);
}

}  // namespace kuv::fsio
