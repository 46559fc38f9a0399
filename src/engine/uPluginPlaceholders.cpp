// Stand-ins for the parts of the engine that are not built yet: the LFOs, the ribbon's
// spring-back and the arpeggiator. Each is a no-op (or gives the neutral answer) and is
// replaced by the real one when that part arrives.
#include "plugin/uPlugin.h"

// --- LFOs: no LFO runs yet; their sources stay 0. --------------------------------------------
void APlugin::setGlobalLFOS() {}         // no-op: no global LFO to update
void APlugin::setVoiceLFOS(int) {}       // no-op: no voice LFO to update
void APlugin::initGlobalLFO(int) {}      // no-op: nothing to restart
void APlugin::initVoiceLFO(int, int) {}  // no-op: nothing to restart

// --- ribbon -----------------------------------------------------------------------------------
void APlugin::setRibbonSpringOn() {}  // no-op: the ribbon does not spring back yet

// --- arpeggiator: notes reach its held list, but it plays nothing yet. ------------------------------
void APlugin::setArpNorm() {}                 // no-op: plays no step
void APlugin::setArpChord() {}                // no-op: plays no step
void APlugin::setArpSeq() {}                  // no-op: plays no step
void APlugin::setArpMod() {}                  // no-op: no arp modulation
void APlugin::setArpMod(int) {}               // no-op: no arp modulation per voice
void APlugin::getArpToStart() {}              // no-op: never starts
void APlugin::initArp() {}                    // no-op: no arp state besides the held list
void APlugin::updateArpMod(int) {}            // no-op: no arp modulation
void APlugin::restartArp(bool) {}             // no-op: nothing to restart
void APlugin::arpPhraseStart(int, bool) {}    // no-op: no arp position or modulator to reset
int APlugin::getArpNumOfSteps() { return 0; } // no steps: key entry stays on its step
bool APlugin::getArpStepOn(int) { return false; }    // no step is on
bool APlugin::getArpStepTied(int) { return false; }  // no step is tied
int APlugin::getArpLoopMode() { return getLockVarStepped(410); }  // read as the arp will
