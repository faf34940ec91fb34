// Resource ids of the launcher, shared by its .rc and anything that loads them.
#pragma once

#define IDI_TOLVANE 101
