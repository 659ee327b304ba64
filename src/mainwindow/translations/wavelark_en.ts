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
</context>
<context>
    <name>MyTableView</name>
    <message>
        <source>library_drag_tip</source>
        <comment>Prompt shown over the empty list.</comment>
        <translation>Drag FLAC or Ogg files or folders here</translation>
    </message>
</context>
</TS>
