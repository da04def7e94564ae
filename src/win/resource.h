// Identifiers of the program's resources. Controls carry the names the windows are known
// by (the test driver finds them by these numbers too).
#pragma once

#define IDI_KESTRELPAD 1
#define IDB_CARD 2

#define IDD_FOPT 100     // the options window
#define IDC_Memo1 1001   // the archive comment
#define IDC_Edit6 1002   // version part 1
#define IDC_Edit8 1003   // version part 2
#define IDC_Edit10 1004  // version part 3
#define IDC_CheckBox5 1005
#define IDC_Label1 1006
#define IDC_Label4 1007  // the message line
#define IDC_Label14 1008 // the version caption
#define IDC_Label17 1009
#define IDC_Label15 1010
#define IDC_Label16 1011 // disk space
#define IDC_Label6 1012
#define IDC_Edit15 1013  // the chosen status

#define IDC_PageControl1 1020
#define IDC_Label3 1021  // the chosen state's folder
#define IDC_ListBox1 1022
#define IDC_Memo3 1023   // the chosen state's comment
#define IDC_Label20 1024
#define IDC_Label21 1025 // the chosen state's position
#define IDC_Label22 1026
#define IDC_Label18 1027 // the number of states
#define IDC_CheckBox1 1028
#define IDC_CheckBox2 1029
#define IDC_Button3 1030

#define IDC_Label25 1040 // product
#define IDC_Label26 1041 // notice
#define IDC_Label27 1042
#define IDC_Label24 1043 // the home page (a link)
#define IDC_Label28 1044
#define IDC_Label29 1045 // the help file (a link)
#define IDC_Label23 1046 // the blank label

// The project log window, the Tools page's state menu and its two windows.
#define IDC_Edit13 1100   // the "Project log" link on the Storing page
#define IDM_Save2 1101    // File > Save
#define IDM_Save1 1102    // File > Export
#define IDM_Close1 1103   // File > Quit
#define IDC_LogMemo1 1104 // the log text
#define IDM_ShowChanges 1110  // the state menu's "Show changes…"
#define IDM_CopyOut 1111      // the state menu's "Copy files out…"
#define IDD_CHANGES 1120      // "Show changes…"
#define IDC_ChangesFilter 1121
#define IDC_ChangesList 1122
#define IDC_ChangesSummary 1123
#define IDD_COPYOUT 1130      // "Copy files out…"
#define IDC_CopyFilter 1131
#define IDC_CopyFiles 1132
#define IDC_CopyFolderCaption 1133
#define IDC_CopyFolder 1134
#define IDC_CopyChooseFolder 1135
#define IDC_CopyOverwrite 1136
#define IDC_CopyProgress 1137
#define IDC_CopyStatus 1138
#define IDC_CopyButton 1139
#define IDC_ChangesFilterCaption 1140
#define IDC_CopyFilterCaption 1141
