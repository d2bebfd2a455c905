// Copies of the launcher that run instead of the started file: the X_ copy of
// an update agent, the Y_ copy of a span-CD setup, and the self-delete at the
// end; plus the control switches a plain agent forwards to its running X_ copy.
#pragma once

// Makes and starts the X_ copy of the plain agent.
void CreateAndRun_X_Exe();
// Forwards "/STOP=", "/WM_MSG=", "/TEST=", "/TRANSIENTx=" to the running X_
// copy; true when it acted on any switch.
bool HandleParamOK(bool xCopyRunning);
// Copies this file into the temporary folder and starts it from there.
void RelaunchFromTemp();
// Deletes this file (and its folder) by a script once the process has ended.
void DeleteMySelf(bool removeFolder, bool shortNames);
