// Every line a run prints. A front end hands its screen to the run, which hands
// it to the store as its report; each front end's screen prints what that
// front end shows, and the base one nothing (the JSON document's, the DSC
// resource's). Texts in ANSI.
#pragma once

#include "run_record.h"

inline constexpr char kWriting[] = "WRITING ";

class Screen : public StoreReport {
  public:
    virtual void Check(const RuleCheck&, const SettingValue[kSettingCount]) {}
    // Once the log has taken the write's line, just before it is made.
    virtual void Writing(const PlannedWrite&, bool /*firstOfCheck*/) {}
    virtual void Failed(const RunRecord&) {}  // once, as the run fails part way
    virtual void Finished(const RunRecord&) {}
    // The dialogue's questions; other screens ask nothing.
    virtual bool Starts(Failure*) { return true; }  // false ends the run, saying why
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
