// Every line a run prints. A front end hands its screen to the run, which hands
// it to the store; each front end's screen prints what that front end shows, and
// the base one nothing (the JSON document's, the DSC resource's). Texts in ANSI.
#pragma once

#include "run_record.h"

inline constexpr char kWriting[] = "WRITING ";

class Screen {
  public:
    virtual ~Screen() = default;

    // The store's: progress in verbose mode, and errors.
    virtual void Line(const AnsiText&) {}
    virtual void Hint(const AnsiText&) {}  // what the operator may do about an error
    virtual void Notice(Notice) {}
    // The run's.
    virtual void Check(const RuleCheck&, const SettingValue[kSettingCount]) {}
    virtual void Writing(const PlannedWrite&, bool /*firstOfCheck*/) {}
    virtual void Failed(const Utf8Text&) {}  // the backup or the log: the run ends
    virtual void Finished(const RunRecord&) {}
    // The dialogue's questions; other screens ask nothing.
    virtual bool Starts(Utf8Text*) { return true; }  // false ends the run, saying why
    virtual bool AskForSuffix(AnsiText*) { return false; }
};

// The lines the dialogue and the fleet print alike.
class TextScreen : public Screen {
  public:
    // `showsHolding`: a check that holds has a line. `shortens`: values are cut.
    TextScreen(bool showsHolding, bool shortens) : showsHolding(showsHolding), shortens(shortens) {}

    void Line(const AnsiText& line) override;
    void Check(const RuleCheck& check, const SettingValue values[kSettingCount]) override;

  private:
    bool showsHolding;
    bool shortens;
    bool anyCheck = false;
};
