// The front ends, the only parts of the tool that know its modes; main picks one.
#pragma once

#include "run_context.h"
#include "run_record.h"

// The operator's dialogue; exits 1 when the run failed, 0 otherwise.
int RunInteractive(const RunContext& context);

// /check and /repair; never reads standard input. Exits 0 compliant (after the
// run), 2 not compliant, 1 failed. A run refused `notStarted` reads and writes nothing.
int RunFleet(const RunContext& context, const Failure& notStarted = Failure());

// A DSC 3 resource: exits 0 in the desired state or not, another code only on failure.
int RunDsc(const RunContext& context);

// The dialogue's notice of a value it could not read (or write), and its wait for an entry.
void ShowFatalNotice(bool reading);

// What each front end asks of its run (run.h's Policy), by what it was asked.
unsigned DialoguePolicies(const RunContext& context);
unsigned FleetPolicies(const RunContext& context);
unsigned DscPolicies(DscOperation operation, bool whatIf, bool suffixGiven);
