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
#define IDC_Edit15 1013  // the chosen status, laid over ComboBox2
#define IDC_ComboBox2 1014 // the project status

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

// The Settings page
#define IDC_Label2 1060
#define IDC_ComboBox1 1061 // the comment language
#define IDC_Edit14 1062    // the chosen language, laid over ComboBox1
#define IDC_Label9 1063
#define IDC_Label10 1064   // "Standard"
#define IDC_Label11 1065   // "Important"
#define IDC_Label8 1066    // "Valuable"
#define IDC_Label5 1067
#define IDC_Edit1 1068     // L standard; Edit7 shows it
#define IDC_UpDown1 1069
#define IDC_Edit3 1070     // L important; Edit9 shows it
#define IDC_UpDown2 1071
#define IDC_Edit5 1072     // L valuable; Edit11 shows it
#define IDC_UpDown3 1073
#define IDC_Label7 1074
#define IDC_Edit2 1075     // " 0.5 L"
#define IDC_Label12 1076
#define IDC_Label13 1077
#define IDC_Edit4 1078     // the capacity factor; Edit12 shows it
#define IDC_UpDown4 1079
#define IDC_Edit7 1080
#define IDC_Edit9 1081
#define IDC_Edit11 1082
#define IDC_Edit12 1083
#define IDC_CheckBox4 1084 // " Show window"
#define IDC_CheckBox3 1085 // " Show tarnel folder"
#define IDC_Button2 1086   // Save
#define IDC_Label19 1087   // the blank label
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
// The card's labels: painted by the card over its picture, and kept as hidden child windows
// with the same texts for programs that read windows (screen readers' helpers, the test driver).
#define IDC_CardLabel2 1200 // the program's name and version
#define IDC_CardLabel5 1201 // the project's name
#define IDC_CardLabel4 1202 // the archive's stamp, "Canceled" or the same-project text
#define IDC_CardLabel8 1203 // items ignored
#define IDC_CardLabel6 1204 // the restore under way
#define IDC_CardLabel7 1205 // the status
#define IDC_CardLabel1 1206 // disk space
