// The SDK's common property sheet items (compstui.h) on Linux, which the UI
// plug-in adjusts.
#pragma once

#include "platform/linux/base_types.h"

typedef struct _OPTPARAM {
  WORD cbSize;
  BYTE Flags;
  BYTE Style;
  LPTSTR pData;
  ULONG_PTR IconID;
  LPARAM lParam;
  ULONG_PTR dwReserved[2];
} OPTPARAM, *POPTPARAM;

typedef struct _OPTTYPE {
  WORD cbSize;
  BYTE Type;
  BYTE Flags;
  WORD Count;
  WORD BegCtrlID;
  POPTPARAM pOptParam;
  WORD Style;
  WORD wReserved[3];
  ULONG_PTR dwReserved[3];
} OPTTYPE, *POPTTYPE;

typedef struct _OPTITEM {
  WORD cbSize;
  BYTE Level;
  BYTE DlgPageIdx;
  DWORD Flags;
  ULONG_PTR UserData;
  LPTSTR pName;
  union {
    LONG Sel;
    LPTSTR pSel;
  };
  union {
    void* pExtChkBox;
    void* pExtPush;
  };
  POPTTYPE pOptType;
  DWORD HelpIndex;
  BYTE DMPubID;
  BYTE UserItemID;
  WORD wReserved;
  void* pOIExt;
  ULONG_PTR dwReserved[3];
} OPTITEM, *POPTITEM;

#define OPTPF_HIDE 0x01
#define OPTPF_DISABLED 0x02
#define OPTIF_HIDE 0x00000002L
#define DMPUB_DEFSOURCE 4
#define DMPUB_ICMMETHOD 10
#define DMPUB_ICMINTENT 11
