#pragma once
// Why asking an AI tool gave no answer.
#include <QString>

class AIError {
public:
    enum class Kind {
        cliFailed,     // the tool failed or printed nothing; payload: what it printed
        emptyDiff,     // nothing staged to describe
        launchFailed,  // the tool could not be started; payload: the reason
        timedOut,      // the tool did not finish in time and was stopped; payload: the seconds waited
        tooLarge,      // the tool printed more than an answer may hold and was stopped; payload: the bound
    };

    static AIError cliFailed(const QString& captured) { return {Kind::cliFailed, captured}; }
    static AIError emptyDiff() { return {Kind::emptyDiff, {}}; }
    static AIError launchFailed(const QString& reason) { return {Kind::launchFailed, reason}; }
    static AIError tooLarge(const QString& bound) { return {Kind::tooLarge, bound}; }
    static AIError timedOut(int milliseconds) { return {Kind::timedOut, QString::number(milliseconds / 1000.0, 'g', 4)}; }

    Kind kind() const { return kind_; }
    const QString& payload() const { return payload_; }
    // The text the views show.
    QString errorDescription() const;

    friend bool operator==(const AIError&, const AIError&) = default;

private:
    AIError(Kind kind, QString payload) : kind_(kind), payload_(std::move(payload)) {}

    Kind kind_;
    QString payload_;
};
