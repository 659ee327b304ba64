<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>MediaListModel</name>
    <message>
        <source>StatusBarInfo</source>
        <comment>Status line under the list: %1 is the number of files, %2 their total duration (HH:MM:SS).</comment>
        <translation>%1 file(s), total duration %2</translation>
    </message>
    <message>
        <source>Syncing to iTunes...</source>
        <translation>Adding to playlist...</translation>
    </message>
</context>
<context>
    <name>MyTableView</name>
    <message>
        <source>library_drag_tip</source>
        <comment>Prompt shown over the empty list.</comment>
        <translation>Drag FLAC or Ogg files or folders here</translation>
    </message>
</context>
<context>
    <name>CustomSettingViewCtl</name>
    <message>
        <source>Sync iTunes</source>
        <translation>Add to Playlist</translation>
    </message>
    <message>
        <source>Choose the prefered format for iTunes,MP3 or M4A is supported! And if you do not want to sync to iTunes, just deselect the &quot;Sync iTunes&quot; checkbox!</source>
        <translation>Choose the format of the converted files: MP3 (the default), AAC or Apple Lossless in an M4A file, Opus, Ogg Vorbis, FLAC or WAV. With &quot;Add to Playlist&quot; checked, each converted file is also added to the playlist named below, in your Music folder; uncheck it to convert only.</translation>
    </message>
    <message>
        <source>The Playlist Name in iTunes after converting songs and transfer them to iTunes.</source>
        <translation>The name of the playlist in your Music folder (a .m3u8 file) that converted files are added to.</translation>
    </message>
    <message>
        <source>Choose the output folder to store the files converted. Default folder is the &quot;Music&quot; folder of the current user.</source>
        <translation>The folder the converted files are written to. By default it is a folder inside your Music folder.</translation>
    </message>
</context>
<context>
    <name>AppGotoCell</name>
    <message>
        <source>View in Appstore</source>
        <translation>View in Software Centre</translation>
    </message>
</context>
</TS>
