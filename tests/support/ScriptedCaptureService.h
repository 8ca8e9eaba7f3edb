#pragma once

#include "app/CaptureService.h"

#include <QList>

#include <optional>

// A capture service whose outcomes the test delivers by hand, later and in any
// order. Every request is kept with its completion; each completion can be
// delivered once.
class ScriptedCaptureService : public CaptureService
{
public:
    enum class Kind { recognize, scan };

    struct Request
    {
        Kind kind;
        Completion completion;
        std::optional<QRect> region;
    };

    QList<Request> requests;
    int warmUps = 0;

    void captureAndRecognize(Completion completion, std::optional<QRect> region) override
    {
        requests.append({Kind::recognize, std::move(completion), region});
    }
    void captureAndScan(Completion completion, std::optional<QRect> region) override
    {
        requests.append({Kind::scan, std::move(completion), region});
    }
    void warmUp() override { ++warmUps; }

    int count(Kind kind) const
    {
        int n = 0;
        for (const Request& r : requests) {
            n += r.kind == kind ? 1 : 0;
        }
        return n;
    }

    // Runs the completion of request `index` with outcome; false when there
    // is no such request or it was delivered already.
    bool deliver(qsizetype index, const Expected<QString, OCRError>& outcome)
    {
        if (index < 0 || index >= requests.size() || !requests[index].completion) {
            return false;
        }
        Completion completion = std::move(requests[index].completion);
        requests[index].completion = nullptr;
        completion(outcome);
        return true;
    }
    bool succeed(qsizetype index, const QString& text) { return deliver(index, text); }
    bool fail(qsizetype index, OCRError error) { return deliver(index, unexpected(error)); }
};
