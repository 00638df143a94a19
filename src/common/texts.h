#pragma once
// Every fixed text that Tessaly shows or logs, in one place and byte for byte: log phrases,
// status sentences, message-box texts, captions. A phrase ends with one blank unless noted.

#include <string_view>

namespace tessaly::texts {

inline constexpr std::string_view ApplicationTitle = "Tessaly";
inline constexpr std::string_view VersionText = "V1.3";

// Operation log phrases.
inline constexpr std::string_view StartedAlone = "単体で起動 ";
inline constexpr std::string_view StartedByDrop = "D&Dで起動 ";
inline constexpr std::string_view ReceivedByDrop = "D&Dで受取り ";
inline constexpr std::string_view SeveralParentsRefused = "D&Dで複数の親ファイル受取り不可 ";
inline constexpr std::string_view WorkspaceInitialised = "作業域を初期化";  // no trailing blank
inline constexpr std::string_view LoadedFromDialog = "ダイアログから読込み ";
inline constexpr std::string_view RemovedFromList = "一覧から削除 ";
inline constexpr std::string_view SetAsParent = "親ファイルに設定 ";
inline constexpr std::string_view SetAsChild = "子ファイルに設定 ";
inline constexpr std::string_view SameNameRefused = "同名の子ファイル追加不可 ";
inline constexpr std::string_view StreamFound = "代替ストリーム発見 ";
inline constexpr std::string_view IconImageError = "アイコンイメージエラー ";
inline constexpr std::string_view WholeOverwriteSave = "全体を上書き保存 ";
inline constexpr std::string_view HeaderUnchanged = "ヘッダ変更無し ";
inline constexpr std::string_view SavedAsChild = "子ファイルで保存 ";
inline constexpr std::string_view ParentSaved = "親ファイルを保存 ";
inline constexpr std::string_view ChildSaved = "子ファイルを保存 ";
inline constexpr std::string_view Reload = "再読込み ";
inline constexpr std::string_view SavedAlone = "単独で保存 ";
inline constexpr std::string_view DetectionListSaved = "検出リストを保存 ";
inline constexpr std::string_view LaunchPaint = "ペイントを起動 ";
inline constexpr std::string_view AssociationImpossible = "関連付け不可 ";
inline constexpr std::string_view NoAssociationSet = "関連付け未設定 ";
inline constexpr std::string_view LaunchLinkTarget = "リンクから実体を起動 ";
inline constexpr std::string_view LaunchProgram = "プログラム起動 ";
inline constexpr std::string_view LaunchAssociatedProgram = "関連プログラム起動 ";
inline constexpr std::string_view LaunchByAssociation = "関連付けで起動 ";
inline constexpr std::string_view LaunchNotepad = "メモ帳を起動 ";
inline constexpr std::string_view LaunchWithChoice = "プログラム選択起動 ";
inline constexpr std::string_view LaunchWithGivenProgram = "プログラム指定で起動 ";
inline constexpr std::string_view CopiedToWorkPlace = "作業場所にコピー ";
// The person said no to starting a program or a link's target.
inline constexpr std::string_view LaunchDeclined = "起動を中止 ";
inline constexpr std::string_view ShowProperties = "プロパティを表示 ";
inline constexpr std::string_view LibraryNotSupported = "ライブラリ未サポート ";
inline constexpr std::string_view ParentDetected = "親ファイル検出 ";
inline constexpr std::string_view ChildDetected = "子ファイル検出 ";
inline constexpr std::string_view SearchInFolder = "フォルダ指定で検索 ";
// A folder or file the scan could not read: the path, then the system's reason in parentheses.
inline constexpr std::string_view UnreadableSkipped = "読込み不可で除外 ";
inline constexpr std::string_view SearchCancelled = "検索を中断 ";
inline constexpr std::string_view LoadedFromDetectionList = "検出リストから読込み ";
// The no-association line: this literal, then the system text for that code.
inline constexpr std::string_view NoAssociationCode = "1155:";

// Status sentences (the value comes in front).
inline constexpr std::string_view StatusReceived = " を受取りました。";
inline constexpr std::string_view StatusFilesReceived = "個のファイルを受取りました。";
inline constexpr std::string_view StatusLoaded = " を読込みました。";
inline constexpr std::string_view StatusWholeSaved = " 全体を保存しました。";
inline constexpr std::string_view StatusSavedTo = " に保存しました。";
inline constexpr std::string_view StatusSaved = " を保存しました。";
inline constexpr std::string_view StatusDetected = " 検出しました";
inline constexpr std::string_view StatusNothingFound = " 該当ありません";
inline constexpr std::string_view StatusCancelled = " 中断しました (途中までの結果です)";
// After the found or nothing-found sentence: the number of what could not be read goes between.
inline constexpr std::string_view StatusSkippedBefore = " (読めない項目 ";
inline constexpr std::string_view StatusSkippedAfter = " 件: 不完全な結果です)";

// Message boxes.
inline constexpr std::string_view AlreadyRunning = "既に起動されています。";
inline constexpr std::string_view OnlyOneParent = "親として指定できるファイルは１つだけでございます。";
inline constexpr std::string_view QuitQuestion = "終了してもよいですか？";
inline constexpr std::string_view ConfirmCaption = "確認";
inline constexpr std::string_view AskDesktop = "デスクトップに登録しますか？";
inline constexpr std::string_view AskStartMenu = "スタートメニューのプログラムに登録しますか？";
inline constexpr std::string_view AskStartup = "スタートアップに登録しますか？";
inline constexpr std::string_view Registered = " に登録しました。";
inline constexpr std::string_view CannotOpenFile = "ファイル \"%s\" は開けません。%s";
inline constexpr std::string_view CannotCreateFile = "ファイル \"%s\" を作成できません。%s";
inline constexpr std::string_view CannotWriteSettings = "%s に書き込めません";
// The question before starting something that may not be what it seems; the lines that apply, in
// this order, blank lines between the parts.
inline constexpr std::string_view AskStartProgram = "プログラム \"%s\" を起動しようとしています。";
inline constexpr std::string_view AskStartLinkTarget = "リンク \"%s\" の実体 \"%s\" を起動しようとしています。";
inline constexpr std::string_view AskLinkArguments = "リンクに書かれた引数 (実体には渡しません): %s";
inline constexpr std::string_view BecauseStream = "代替ストリームから取り出したものです。";
inline constexpr std::string_view BecauseZone = "入手元のゾーン: %s";
inline constexpr std::string_view BecauseOriginUrl = "入手元 URL: %s";
inline constexpr std::string_view BecauseVolume =
    "どのファイルにも実行の許可が付くボリューム (FAT、NTFS、SMB など) にあるため、プログラムかどうか確かめられません。";
inline constexpr std::string_view AskStartClosing = "起動してもよいですか？";

// System messages of the file layer, where the system's own text would mislead.
inline constexpr std::string_view NotRegularFile = "通常のファイルではないので読み書きしません (FIFO、デバイス、ソケットなど)";
inline constexpr std::string_view AttributeTooLargeToWrite = "データが大きすぎて、このファイルシステムの拡張属性には書き込めません";
inline constexpr std::string_view AttributeTooLargeToRead = "ストリームが大きすぎて拡張属性としては読めません";
inline constexpr std::string_view NtfsWriteHint = "ntfs-3g ボリュームでは streams_interface=windows でマウントすると書き込めます";
inline constexpr std::string_view NtfsReadHint = "ntfs-3g ボリュームでは streams_interface=windows でマウントすると読めます";
inline constexpr std::string_view ServerOwnedName =
    "この名前はファイルサーバー (Samba) が自身の記録に使う拡張属性なので、ストリームとして書き込みません";
inline constexpr std::string_view ForeignLinkInSharedFolder =
    "誰でも書き込める共有フォルダーにある他のユーザーのシンボリックリンクはたどりません";

// What a failed save did to its target, added below the error box's message.
inline constexpr std::string_view TargetUnchanged = "保存先 \"%s\" は元のままです。";
inline constexpr std::string_view TargetPartlyWritten =
    "保存先 \"%s\" は書き込みの途中で止まりました。元のデータは残っていません。";
inline constexpr std::string_view TargetItemsWritten =
    "保存先 \"%s\" では次の項目が新しい内容になりました: %s。ほかは元のままです。";

// Window captions.
inline constexpr std::string_view TabComposition = "ファイル構成";
inline constexpr std::string_view TabDetection = "検出";
inline constexpr std::string_view TabLog = "操作ログ";
inline constexpr std::string_view TabStreams = "代替ストリーム";
inline constexpr std::string_view HintNew = "新規";
inline constexpr std::string_view HintOpen = "開く";
inline constexpr std::string_view HintSave = "全体を上書き保存";
inline constexpr std::string_view HintSaveAs = "全体を名前を付けて保存";
inline constexpr std::string_view MenuFile = "ファイル(&F)";
inline constexpr std::string_view MenuNew = "新規(&N)";
inline constexpr std::string_view MenuOpen = "開く(&O)...";
inline constexpr std::string_view MenuSave = "全体を上書き保存(&S)";
inline constexpr std::string_view MenuSaveAs = "全体を名前を付けて保存(&A)...";
inline constexpr std::string_view MenuSaveSelected = "選択対象を名前を付けて保存(&L)...";
inline constexpr std::string_view MenuShortcut = "ショートカット作成(&C)";
inline constexpr std::string_view MenuDesktop = "デスクトップ登録(&D)";
inline constexpr std::string_view MenuStartUp = "スタートアップ登録(&S)";
inline constexpr std::string_view MenuStartMenu = "スタートメニュー登録(&M)";
inline constexpr std::string_view MenuExit = "終了(&X)";
inline constexpr std::string_view MenuOptions = "オプション(&O)";
inline constexpr std::string_view MenuCloseQuery = "終了時に確認(&Q)";
inline constexpr std::string_view MenuSaveStatus = "終了時の状態を保存(&S)";
inline constexpr std::string_view MenuHelp = "ヘルプ(&H)";
inline constexpr std::string_view MenuShowHelp = "ヘルプ表示(&H)";
inline constexpr std::string_view MenuAbout = "バージョン情報(&V)";
inline constexpr std::string_view MenuSite = "ホームページ表示(&S)";
inline constexpr std::string_view PopupOpen = "開く(&O)";
inline constexpr std::string_view PopupNotePad = "メモ帳で開く(&N)";
inline constexpr std::string_view PopupOpenBy = "プログラムを選択して開く(&P)";
inline constexpr std::string_view PopupOpenByDirect = "プログラムを直接指定して開く(&D)";
inline constexpr std::string_view PopupCopyOpen = "作業場所にコピーして開く(&C)";
inline constexpr std::string_view PopupSaveAs = "名前を付けて保存(&A)";
inline constexpr std::string_view PopupDelete = "この一覧から削除(&D)";
inline constexpr std::string_view PopupProperty = "プロパティ(&R)";
inline constexpr std::string_view PopupCopyFileName = "フルパスのファイル名をコピー(&F)";
inline constexpr std::string_view PopupReadIn = "検出結果から展開(&R)";
inline constexpr std::string_view PopupCopyAll = "リスト全体をコピー(&A)";
inline constexpr std::string_view PopupSaveCsv = "CSV で保存...";
inline constexpr std::string_view PopupSaveJson = "JSON で保存...";
inline constexpr std::string_view LogCopy = "コピー(&C)";
inline constexpr std::string_view LogSelectAll = "すべて選択(&A)";
inline constexpr std::string_view CancelCaption = "キャンセル(&C)";
inline constexpr std::string_view FolderPaneHint = "ダブルクリックで検出開始";
inline constexpr std::string_view FolderPaneRefresh = "フォルダ一覧を更新(&U)";
inline constexpr std::string_view ColumnName = "名前";
inline constexpr std::string_view ColumnSize = "サイズ";
inline constexpr std::string_view ColumnModified = "更新日付";
inline constexpr std::string_view AboutCaption = "バージョン情報";
inline constexpr std::string_view AboutOk = "&OK";
inline constexpr std::string_view AboutHomePage = "&HomePage";
// The maker's lines of the About box and the home page the Help menu opens.
inline constexpr std::string_view AboutCopyright = "Copyright (C) 2026 The Tessaly project";
inline constexpr std::string_view AboutMail = "tessaly@example.org";
inline constexpr std::string_view HomePageUrl = "https://tessaly.example.org/";

// Dialog filters and titles.
inline constexpr std::string_view FilterDocuments = "すべてのファイル(*.*)|*.*|テキストファイル(*.txt)|*.txt";
inline constexpr std::string_view FilterPrograms = "実行プログラム(*.exe)|*.exe|すべてのファイル(*.*)|*.*";
inline constexpr std::string_view OpenProgramTitle = "開くプログラムを直接指定して開く";
inline constexpr std::string_view OpenWithTitle = "プログラムを選択して開く";
// A name that the file dialogs could only hand back changed (its bytes are not valid UTF-8).
inline constexpr std::string_view DialogCannotCarryName =
    "ファイル名 \"%s\" はダイアログでは正しく扱えません。ドロップかコマンドラインで指定してください。";
inline constexpr std::string_view FilterCsv = "CSV ファイル(*.csv)|*.csv|すべてのファイル(*.*)|*.*";
inline constexpr std::string_view FilterJson = "JSON ファイル(*.json)|*.json|すべてのファイル(*.*)|*.*";

// Tessaly's own properties window (shown when the desktop's file manager does not answer).
inline constexpr std::string_view PropertiesCaption = "プロパティ";
inline constexpr std::string_view PropertyFolder = "場所";
inline constexpr std::string_view PropertyType = "種類";
inline constexpr std::string_view PropertyPermissions = "アクセス権";
inline constexpr std::string_view PropertyOwner = "所有者";

// The preview pane: what an item holds and where a download came from.
inline constexpr std::string_view PreviewSize = "サイズ: ";
inline constexpr std::string_view PreviewBytes = " バイト";
inline constexpr std::string_view PreviewShownPart = "先頭 64 KiB を表示しています (残りは読み込んでいません)";
inline constexpr std::string_view PreviewLoading = "読み込み中…";
inline constexpr std::string_view PreviewUnreadable = "読み込めません: ";
inline constexpr std::string_view PreviewEmptyItem = "(空です)";
inline constexpr std::string_view PreviewBinary = "バイナリ (16 進表示)";
inline constexpr std::string_view PreviewImageUnreadable = "画像として読めません。16 進で表示します";
inline constexpr std::string_view PreviewImageTooLarge = "画像が大きすぎるため表示しません (%1 x %2)。16 進で表示します";
inline constexpr std::string_view PreviewImageCut = "画像は先頭 64 KiB だけでは表示できません。16 進で表示します";
inline constexpr std::string_view OriginTitle = "入手元";
inline constexpr std::string_view OriginZone = "ゾーン";
inline constexpr std::string_view OriginReferrer = "参照元 URL";
inline constexpr std::string_view OriginHost = "ダウンロード元 URL";
inline constexpr std::string_view OriginXdgOrigin = "入手元 URL (xdg)";
inline constexpr std::string_view OriginXdgReferrer = "参照元 URL (xdg)";
inline constexpr std::string_view Zone0 = "ローカル コンピューター";
inline constexpr std::string_view Zone1 = "ローカル イントラネット";
inline constexpr std::string_view Zone2 = "信頼済みサイト";
inline constexpr std::string_view Zone3 = "インターネット";
inline constexpr std::string_view Zone4 = "制限付きサイト";

// The detection tab's keys, filter and scan strip.
inline constexpr std::string_view StartScan = "検出開始";
inline constexpr std::string_view FilterLabel = "絞り込み(&I):";
inline constexpr std::string_view FilterHint = "ファイル名・ストリーム名の一部";
inline constexpr std::string_view CountParents = "親ファイル ";
inline constexpr std::string_view CountChildren = "　子ファイル ";
inline constexpr std::string_view CountFiles = "　調べたファイル ";
inline constexpr std::string_view ReadingFolder = "読込み中: ";

// Help shown by Tessaly itself when no program can show the help file, and the home page that
// nothing could open.
inline constexpr std::string_view HelpCaption = "Tessaly ヘルプ";
inline constexpr std::string_view HelpMissing = "ヘルプファイル \"%s\" が見つかりません。";
inline constexpr std::string_view CannotOpenAddress = "アドレス \"%s\" を開けるプログラムが見つかりません。";

}  // namespace tessaly::texts
