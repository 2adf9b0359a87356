<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>ApiClient</name>
    <message>
        <source>API客户端已初始化，基础URL:</source>
        <translation>API client initialized, base URL:</translation>
    </message>
    <message>
        <source>已关闭证书验证，服务器身份未经核实</source>
        <translation>Certificate verification is off; the server&apos;s identity is not verified</translation>
    </message>
    <message>
        <source>回复超过大小上限，已中止</source>
        <translation>Reply exceeds the size limit; aborted</translation>
    </message>
    <message>
        <source>请求超时</source>
        <translation>Request timed out</translation>
    </message>
    <message>
        <source>已加载</source>
        <translation>Loaded</translation>
    </message>
    <message>
        <source>获取专辑失败:</source>
        <translation>Failed to fetch albums:</translation>
    </message>
    <message>
        <source>专辑响应:</source>
        <translation>Album response:</translation>
    </message>
    <message>
        <source>个专辑</source>
        <translation>albums</translation>
    </message>
    <message>
        <source>获取歌曲失败:</source>
        <translation>Failed to fetch songs:</translation>
    </message>
    <message>
        <source>歌曲响应:</source>
        <translation>Song response:</translation>
    </message>
    <message>
        <source>首歌曲</source>
        <translation>songs</translation>
    </message>
    <message>
        <source>搜索失败:</source>
        <translation>Search failed:</translation>
    </message>
    <message>
        <source>获取排行榜失败:</source>
        <translation>Failed to fetch ranking:</translation>
    </message>
    <message>
        <source>增加播放次数失败:</source>
        <translation>Failed to increment play count:</translation>
    </message>
    <message>
        <source>服务器的回复超过大小上限</source>
        <translation>The server's reply exceeds the size limit</translation>
    </message>
    <message>
        <source>服务器在 %1 秒内没有完成回复</source>
        <translation>The server did not complete its reply within %1 s</translation>
    </message>
    <message>
        <source>无法连接服务器 %1: %2</source>
        <translation>Cannot reach the server %1: %2</translation>
    </message>
    <message>
        <source>服务器 %1 秒没有响应</source>
        <translation>The server did not respond for %1 s</translation>
    </message>
    <message>
        <source>服务器证书不受信任: %1</source>
        <translation>The server's certificate is not trusted: %1</translation>
    </message>
    <message>
        <source>服务器返回错误状态 %1</source>
        <translation>The server answered with error status %1</translation>
    </message>
    <message>
        <source>服务器的回复不是有效的目录数据</source>
        <translation>The server's reply is not valid catalogue data</translation>
    </message>
    <message>
        <source>超过请求期限，已中止</source>
        <translation>request deadline exceeded, aborted</translation>
    </message>
    <message>
        <source>服务器 %1 的回复超过大小上限</source>
        <translation>The reply of the server %1 exceeds the size limit</translation>
    </message>
    <message>
        <source>服务器 %1 在 %2 秒内没有应答</source>
        <translation>The server %1 did not answer within %2 s</translation>
    </message>
    <message>
        <source>服务器 %1 在 %2 秒内没有完成回复</source>
        <translation>The server %1 did not finish its reply within %2 s</translation>
    </message>
    <message>
        <source>服务器 %1 有 %2 秒没有响应</source>
        <translation>The server %1 sent nothing for %2 s</translation>
    </message>
    <message>
        <source>无法连接服务器 %1: 连接被拒绝，服务器可能没有运行</source>
        <translation>Cannot connect to the server %1: connection refused, the server may not be running</translation>
    </message>
    <message>
        <source>服务器 %1 返回错误状态 %2</source>
        <translation>The server %1 answered with error status %2</translation>
    </message>
    <message>
        <source>%1 的回复不是音乐目录数据，请检查服务器地址</source>
        <translation>The reply of %1 is not music catalogue data; check the server address</translation>
    </message>
    <message>
        <source>服务器没有应答，已中止</source>
        <translation>the server did not answer, aborted</translation>
    </message>
    <message>
        <source>服务器证书不受信任: %2 (%1)</source>
        <translation>The server's certificate is not trusted: %2 (%1)</translation>
    </message>
</context>
<context>
    <name>LocalMusicManager</name>
    <message>
        <source>扫描正在进行中</source>
        <translation>Scan is in progress</translation>
    </message>
    <message>
        <source>目录不存在: </source>
        <translation>Directory does not exist: </translation>
    </message>
    <message>
        <source>开始扫描...</source>
        <translation>Starting scan...</translation>
    </message>
    <message>
        <source>找到</source>
        <translation>Found</translation>
    </message>
    <message>
        <source>个音频文件</source>
        <translation>audio files</translation>
    </message>
    <message>
        <source>目录已变更:</source>
        <translation>Directory changed:</translation>
    </message>
    <message>
        <source>音乐文件夹 %1 不可用，%2 首本地歌曲暂时无法播放</source>
        <translation>The music folder %1 is unavailable; %2 local songs cannot be played for now</translation>
    </message>
    <message>
        <source>%1 首本地歌曲的文件暂时无法访问，已保留在列表中</source>
        <translation>The files of %1 local songs cannot be reached for now; they stay in the list</translation>
    </message>
    <message>
        <source>文件已不存在:</source>
        <translation>File no longer exists:</translation>
    </message>
</context>
<context>
    <name>LyricsWidget</name>
    <message>
        <source>暂无歌词</source>
        <translation>No lyrics available</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>这首歌没有音频文件</source>
        <translation>the song has no audio file</translation>
    </message>
    <message>
        <source>音频地址无效</source>
        <translation>its audio address is not valid</translation>
    </message>
    <message>
        <source>找不到音频文件</source>
        <translation>the audio file was not found</translation>
    </message>
    <message>
        <source>无法从服务器获取音频</source>
        <translation>the server did not deliver the audio</translation>
    </message>
    <message>
        <source>音频文件已损坏或格式不受支持</source>
        <translation>the audio file is damaged or in a format that cannot be played</translation>
    </message>
    <message>
        <source>没有读取音频的权限</source>
        <translation>reading the audio was refused</translation>
    </message>
    <message>
        <source>无法播放“%1”：%2</source>
        <translation>Cannot play “%1”: %2</translation>
    </message>
    <message>
        <source>播放列表中没有能播放的歌曲，已停止播放</source>
        <translation>None of the songs in the playlist can be played; playback stopped</translation>
    </message>
    <message>
        <source>下一首播放</source>
        <translation>Play Next</translation>
    </message>
    <message>
        <source>从播放列表移除</source>
        <translation>Remove from Playlist</translation>
    </message>
    <message>
        <source>下一首播放: %1</source>
        <translation>Plays next: %1</translation>
    </message>
    <message>
        <source>维洛拉</source>
        <translation>Velora</translation>
    </message>
    <message>
        <source>   维洛拉</source>
        <translation>   Velora</translation>
    </message>
    <message>
        <source>搜索歌曲...</source>
        <translation>Search songs...</translation>
    </message>
    <message>
        <source>创作</source>
        <translation>Create</translation>
    </message>
    <message>
        <source>共 0 首歌曲</source>
        <translation>Total 0 songs</translation>
    </message>
    <message>
        <source>全部播放</source>
        <translation>Play All</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>歌手排行</source>
        <translation>Artist Charts</translation>
    </message>
    <message>
        <source>歌曲排行</source>
        <translation>Song Charts</translation>
    </message>
    <message>
        <source>选择目录</source>
        <translation>Choose Directory</translation>
    </message>
    <message>
        <source>扫描音乐</source>
        <translation>Scan Music</translation>
    </message>
    <message>
        <source>清除</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>未播放</source>
        <translation>Not Playing</translation>
    </message>
    <message>
        <source>00:00 / 00:00</source>
        <translation>00:00 / 00:00</translation>
    </message>
    <message>
        <source>列表循环</source>
        <translation>List Loop</translation>
    </message>
    <message>
        <source>显示/隐藏歌词</source>
        <translation>Show/Hide Lyrics</translation>
    </message>
    <message>
        <source>扫描错误: </source>
        <translation>Scan error: </translation>
    </message>
    <message>
        <source>正在加载中，跳过</source>
        <translation>Loading in progress, skipping</translation>
    </message>
    <message>
        <source>数据已加载，跳过</source>
        <translation>Data already loaded, skipping</translation>
    </message>
    <message>
        <source>API错误: </source>
        <translation>API error: </translation>
    </message>
    <message>
        <source>网络错误: </source>
        <translation>Network error: </translation>
    </message>
    <message>
        <source>正在加载专辑...</source>
        <translation>Loading albums...</translation>
    </message>
    <message>
        <source>专辑已加载:</source>
        <translation>Albums loaded:</translation>
    </message>
    <message>
        <source>加载了 %1 个专辑</source>
        <translation>Loaded %1 albums</translation>
    </message>
    <message>
        <source>正在加载封面:</source>
        <translation>Loading cover:</translation>
    </message>
    <message>
        <source>加载封面失败:</source>
        <translation>Failed to load cover:</translation>
    </message>
    <message>
        <source>封面已加载并裁剪为圆形</source>
        <translation>Cover loaded and cropped to circle</translation>
    </message>
    <message>
        <source>专辑歌曲已加载:</source>
        <translation>Album songs loaded:</translation>
    </message>
    <message>
        <source>播放次数: %1</source>
        <translation>Play count: %1</translation>
    </message>
    <message>
        <source>专辑加载了 %1 首歌曲</source>
        <translation>Album loaded %1 songs</translation>
    </message>
    <message>
        <source>该专辑没有歌曲</source>
        <translation>This album has no songs</translation>
    </message>
    <message>
        <source>正在播放专辑</source>
        <translation>Playing album</translation>
    </message>
    <message>
        <source>正在加载所有歌曲...</source>
        <translation>Loading all songs...</translation>
    </message>
    <message>
        <source>歌曲已加载:</source>
        <translation>Songs loaded:</translation>
    </message>
    <message>
        <source>共 %1 首歌曲</source>
        <translation>Total %1 songs</translation>
    </message>
    <message>
        <source>警告: 歌曲数据为空，请检查网络连接或刷新重试</source>
        <translation>Warning: Song data is empty, please check network connection or refresh and try again</translation>
    </message>
    <message>
        <source>加载了 %1 首歌曲</source>
        <translation>Loaded %1 songs</translation>
    </message>
    <message>
        <source>显示所有本地音乐</source>
        <translation>Showing all local music</translation>
    </message>
    <message>
        <source>搜索本地: %1</source>
        <translation>Searching local: %1</translation>
    </message>
    <message>
        <source>找到 %1 首歌曲</source>
        <translation>Found %1 songs</translation>
    </message>
    <message>
        <source>未找到匹配的歌曲</source>
        <translation>No matching songs found</translation>
    </message>
    <message>
        <source>歌曲详情
━━━━━━━━━━━━━━━━━━
标题: %1
艺术家: %2
时长: %3
播放次数: %4
</source>
        <translation>Song Details
━━━━━━━━━━━━━━━━━━
Title: %1
Artist: %2
Duration: %3
Play Count: %4
</translation>
    </message>
    <message>
        <source>歌曲详情</source>
        <translation>Song Details</translation>
    </message>
    <message>
        <source>歌曲</source>
        <translation>Songs</translation>
    </message>
    <message>
        <source>播放</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>共 %1 位歌手</source>
        <translation>Total %1 artists</translation>
    </message>
    <message>
        <source>歌手 %1 没有歌曲</source>
        <translation>Artist %1 has no songs</translation>
    </message>
    <message>
        <source>正在播放 %1 的歌曲</source>
        <translation>Playing songs by %1</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Prompt</translation>
    </message>
    <message>
        <source>加载中...</source>
        <translation>Loading...</translation>
    </message>
    <message>
        <source>就绪</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>添加标签页:</source>
        <translation>Add tab:</translation>
    </message>
    <message>
        <source>总按钮数:</source>
        <translation>Total button count:</translation>
    </message>
    <message>
        <source>侧边栏布局数量:</source>
        <translation>Sidebar layout count:</translation>
    </message>
    <message>
        <source>m_tabButtons 大小:</source>
        <translation>m_tabButtons size:</translation>
    </message>
    <message>
        <source>已经切换到所有专辑</source>
        <translation>Switched to all albums</translation>
    </message>
    <message>
        <source>已经切换到全部歌曲</source>
        <translation>Switched to all songs</translation>
    </message>
    <message>
        <source>已经切换到播放列表</source>
        <translation>Switched to playlist</translation>
    </message>
    <message>
        <source>已经切换到排行榜</source>
        <translation>Switched to charts</translation>
    </message>
    <message>
        <source>已经切换到本地音乐</source>
        <translation>Switched to local music</translation>
    </message>
    <message>
        <source>所有专辑</source>
        <translation>All Albums</translation>
    </message>
    <message>
        <source>全部歌曲</source>
        <translation>All Songs</translation>
    </message>
    <message>
        <source>播放列表</source>
        <translation>Playlist</translation>
    </message>
    <message>
        <source>排行榜</source>
        <translation>Charts</translation>
    </message>
    <message>
        <source>本地音乐</source>
        <translation>Local Music</translation>
    </message>
    <message>
        <source>当前正在播放: %1 - %2

确定要退出吗？</source>
        <translation>Currently playing: %1 - %2

Are you sure you want to exit?</translation>
    </message>
    <message>
        <source>确定要退出程序吗？</source>
        <translation>Are you sure you want to exit the application?</translation>
    </message>
    <message>
        <source>温馨提示</source>
        <translation>Friendly Reminder</translation>
    </message>
    <message>
        <source>已切换到简体中文</source>
        <translation>Switched to Simplified Chinese</translation>
    </message>
    <message>
        <source>Switched to English</source>
        <translation>Switched to English</translation>
    </message>
    <message>
        <source>已加载翻译:</source>
        <translation>Translation loaded:</translation>
    </message>
    <message>
        <source>加载翻译失败:</source>
        <translation>Failed to load translation:</translation>
    </message>
    <message>
        <source>从文件加载翻译:</source>
        <translation>Loading translation from file:</translation>
    </message>
    <message>
        <source>  维洛拉</source>
        <translation>  Velora</translation>
    </message>
    <message>
        <source>网络</source>
        <translation>Online</translation>
    </message>
    <message>
        <source>本地</source>
        <translation>Local</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>开机自启动</source>
        <translation>Auto-start on Boot</translation>
    </message>
    <message>
        <source>启动程序自动播放</source>
        <translation>Auto-play on Launch</translation>
    </message>
    <message>
        <source>经典模式</source>
        <translation>Classic Mode</translation>
    </message>
    <message>
        <source>关于维洛拉</source>
        <translation>About Velora</translation>
    </message>
    <message>
        <source>语言</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>简体中文</source>
        <translation>Simplified Chinese</translation>
    </message>
    <message>
        <source>音量</source>
        <translation>Volume</translation>
    </message>
    <message>
        <source>演唱: </source>
        <translation>Artist: </translation>
    </message>
    <message>
        <source>专辑: </source>
        <translation>Album: </translation>
    </message>
    <message>
        <source>未知艺术家</source>
        <translation>Unknown Artist</translation>
    </message>
    <message>
        <source>选择音乐文件夹</source>
        <translation>Select Music Folder</translation>
    </message>
    <message>
        <source>已选择目录: </source>
        <translation>Selected directory: </translation>
    </message>
    <message>
        <source>正在扫描中...</source>
        <translation>Scanning...</translation>
    </message>
    <message>
        <source>正在扫描...</source>
        <translation>Scanning...</translation>
    </message>
    <message>
        <source>扫描中: %1/%2</source>
        <translation>Scanning: %1/%2</translation>
    </message>
    <message>
        <source>扫描完成，找到 %1 首本地歌曲</source>
        <translation>Scan complete, found %1 local songs</translation>
    </message>
    <message>
        <source>无效的歌曲索引</source>
        <translation>Invalid song index</translation>
    </message>
    <message>
        <source>正在播放: </source>
        <translation>Now Playing: </translation>
    </message>
    <message>
        <source>已添加: </source>
        <translation>Added: </translation>
    </message>
    <message>
        <source>本地音乐列表已清除</source>
        <translation>Local music list cleared</translation>
    </message>
    <message>
        <source>添加到播放列表</source>
        <translation>Add to Playlist</translation>
    </message>
    <message>
        <source>从列表中移除</source>
        <translation>Remove from List</translation>
    </message>
    <message>
        <source>切换到本地搜索</source>
        <translation>Switched to local search</translation>
    </message>
    <message>
        <source>切换到网络搜索</source>
        <translation>Switched to online search</translation>
    </message>
    <message>
        <source>从设置中加载了</source>
        <translation>Loaded from settings</translation>
    </message>
    <message>
        <source>首本地音乐文件</source>
        <translation>local music files</translation>
    </message>
    <message>
        <source>顺序播放</source>
        <translation>Sequential</translation>
    </message>
    <message>
        <source>onPlayPause 被调用，当前状态:</source>
        <translation>onPlayPause called, current state:</translation>
    </message>
    <message>
        <source>没有可播放的歌曲，请先刷新数据</source>
        <translation>No songs to play, please refresh data first</translation>
    </message>
    <message>
        <source>单曲循环</source>
        <translation>Single Loop</translation>
    </message>
    <message>
        <source>随机播放</source>
        <translation>Shuffle</translation>
    </message>
    <message>
        <source>========== onSongChanged 被调用 ==========</source>
        <translation>========== onSongChanged called ==========</translation>
    </message>
    <message>
        <source>歌曲 ID:</source>
        <translation>Song ID:</translation>
    </message>
    <message>
        <source>歌曲标题:</source>
        <translation>Song Title:</translation>
    </message>
    <message>
        <source>歌曲艺术家:</source>
        <translation>Song Artist:</translation>
    </message>
    <message>
        <source>===========================================</source>
        <translation>===========================================</translation>
    </message>
    <message>
        <source>updateCurrentSongUI 被调用 - 标题:</source>
        <translation>updateCurrentSongUI called - Title:</translation>
    </message>
    <message>
        <source>currentSongLabel 设置为:</source>
        <translation>currentSongLabel set to:</translation>
    </message>
    <message>
        <source>onPlaybackStateChanged 触发，状态:</source>
        <translation>onPlaybackStateChanged triggered, state:</translation>
    </message>
    <message>
        <source>已添加: %1</source>
        <translation>Added: %1</translation>
    </message>
    <message>
        <source>已移除</source>
        <translation>Removed</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>确定要清空播放列表吗？</source>
        <translation>Are you sure you want to clear the playlist?</translation>
    </message>
    <message>
        <source>播放列表已清空</source>
        <translation>Playlist cleared</translation>
    </message>
    <message>
        <source>已切换到经典模式</source>
        <translation>Switched to classic mode</translation>
    </message>
    <message>
        <source>已切换到白天模式</source>
        <translation>Switched to day mode</translation>
    </message>
    <message>
        <source>无法设置开机自启动: %1</source>
        <translation>Cannot set auto-start on boot: %1</translation>
    </message>
    <message>
        <source>此系统不支持开机自启动</source>
        <translation>Auto-start on boot is not supported on this system</translation>
    </message>
    <message>
        <source>已开启开机自启动</source>
        <translation>Auto-start on boot enabled</translation>
    </message>
    <message>
        <source>已关闭开机自启动</source>
        <translation>Auto-start on boot disabled</translation>
    </message>
    <message>
        <source>已开启开机自动播放</source>
        <translation>Auto-play on launch enabled</translation>
    </message>
    <message>
        <source>已关闭开机自动播放</source>
        <translation>Auto-play on launch disabled</translation>
    </message>
    <message>
        <source>开始播放: %1</source>
        <translation>Starting playback: %1</translation>
    </message>
    <message>
        <source>自动播放已启用，开始播放...</source>
        <translation>Auto-play enabled, starting playback...</translation>
    </message>
    <message>
        <source>自动播放: %1</source>
        <translation>Auto-play: %1</translation>
    </message>
    <message>
        <source>维洛拉 v1.0.0</source>
        <translation>Velora v1.0.0</translation>
    </message>
    <message>
        <source>正在打开网页...</source>
        <translation>Opening webpage...</translation>
    </message>
    <message>
        <source>无法打开网页，请检查网络连接</source>
        <translation>Cannot open webpage, please check network connection</translation>
    </message>
    <message>
        <source>无法保存本地音乐库，请检查设置文件的写入权限: %1</source>
        <translation>Cannot save the local music library, please check the write permission of the settings file: %1</translation>
    </message>
    <message>
        <source>← 返回</source>
        <translation>← Back</translation>
    </message>
    <message>
        <source>专辑: %1</source>
        <translation>Album: %1</translation>
    </message>
    <message>
        <source>专辑</source>
        <translation>Album</translation>
    </message>
    <message>
        <source>搜索失败: %1</source>
        <translation>Search failed: %1</translation>
    </message>
    <message>
        <source>没有找到与“%1”匹配的歌曲。换个关键词再试，或点“返回”。</source>
        <translation>No songs match “%1”. Try another word, or press “Back”.</translation>
    </message>
    <message>
        <source>搜索: %1 (%2)</source>
        <translation>Search: %1 (%2)</translation>
    </message>
    <message>
        <source>浅色主题</source>
        <translation>Light Theme</translation>
    </message>
    <message>
        <source>已切换到浅色主题</source>
        <translation>Switched to the light theme</translation>
    </message>
    <message>
        <source>已切换到深色主题</source>
        <translation>Switched to the dark theme</translation>
    </message>
    <message>
        <source>正在从 %1 加载音乐目录...</source>
        <translation>Loading the music catalogue from %1...</translation>
    </message>
    <message>
        <source>%1。请确认服务器已启动且地址正确，然后重试。</source>
        <translation>%1. Make sure the server is running and its address is right, then retry.</translation>
    </message>
    <message>
        <source>重试</source>
        <translation>Retry</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>目录中还没有专辑。把音乐导入服务器后点“刷新”。</source>
        <translation>The catalogue has no albums yet. Import music into the server, then press “Refresh”.</translation>
    </message>
    <message>
        <source>目录中还没有歌曲。把音乐导入服务器后点“刷新”。</source>
        <translation>The catalogue has no songs yet. Import music into the server, then press “Refresh”.</translation>
    </message>
    <message>
        <source>播放列表是空的。双击一首歌曲、一张专辑或排行榜中的一行，它就会出现在这里。</source>
        <translation>The playlist is empty. Double-click a song, an album or a chart row and it appears here.</translation>
    </message>
</context>
<context>
    <name>MusicPlayer</name>
    <message>
        <source>播放列表为空，无法播放</source>
        <translation>Playlist is empty, cannot play</translation>
    </message>
    <message>
        <source>无效索引:</source>
        <translation>Invalid index:</translation>
    </message>
    <message>
        <source>歌曲文件路径为空</source>
        <translation>Song file path is empty</translation>
    </message>
    <message>
        <source>通过 ID -1 检测到本地音乐</source>
        <translation>Detected local music via ID -1</translation>
    </message>
    <message>
        <source>通过文件存在检测到本地音乐</source>
        <translation>Detected local music via file existence</translation>
    </message>
    <message>
        <source>通过绝对路径检测到本地音乐</source>
        <translation>Detected local music via absolute path</translation>
    </message>
    <message>
        <source>播放本地文件:</source>
        <translation>Playing local file:</translation>
    </message>
    <message>
        <source>标题:</source>
        <translation>Title:</translation>
    </message>
    <message>
        <source>播放网络文件:</source>
        <translation>Playing network file:</translation>
    </message>
    <message>
        <source>无效的URL: </source>
        <translation>Invalid URL: </translation>
    </message>
    <message>
        <source>拒绝播放媒体文件夹之外的路径:</source>
        <translation>Refusing to play a path outside the media folder:</translation>
    </message>
    <message>
        <source>歌曲路径不在服务器的媒体文件夹内: %1</source>
        <translation>The song's path is not inside the server's media folder: %1</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>资源系统未初始化！</source>
        <translation>The resource system is not initialised!</translation>
    </message>
    <message>
        <source>无法打开样式表:</source>
        <translation>Cannot open stylesheet:</translation>
    </message>
    <message>
        <source>当前工作目录:</source>
        <translation>Current working directory:</translation>
    </message>
    <message>
        <source>样式表为空！</source>
        <translation>The stylesheet is empty!</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>无法加载样式表，将使用默认外观。
这可能会影响应用程序的外观，但功能不受影响。</source>
        <translation>Failed to load stylesheet, using default appearance.
This may affect the application&apos;s appearance, but functionality is not affected.</translation>
    </message>
    <message>
        <source>未知艺术家</source>
        <translation>Unknown Artist</translation>
    </message>
</context>
</TS>
