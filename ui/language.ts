<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>MainWindow</name>
    <message>
        <source>串口号</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>连接</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>显示</source>
        <translation>Display</translation>
    </message>
    <message>
        <source>距离:</source>
        <translation>Distance:</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>m</source>
        <translation>m</translation>
    </message>
    <message>
        <source>帧率:</source>
        <translation>Frame rate:</translation>
    </message>
    <message>
        <source>Hz</source>
        <translation>Hz</translation>
    </message>
    <message>
        <source>语言</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>中文</source>
        <translation>Chinese</translation>
    </message>
    <message>
        <source>英文</source>
        <translation>English</translation>
    </message>
    <message>
        <source>控制</source>
        <translation>Control</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>清空图像</source>
        <translation>Clear chart</translation>
    </message>
    <message>
        <source>时间范围:</source>
        <translation>Time range:</translation>
    </message>
    <message>
        <source>10</source>
        <translation>10</translation>
    </message>
    <message>
        <source>s</source>
        <translation>s</translation>
    </message>
    <message>
        <source>录制</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>测距数量:</source>
        <translation>Batch size:</translation>
    </message>
    <message>
        <source>升级</source>
        <translation>Upgrade</translation>
    </message>
    <message>
        <source>串口</source>
        <translation>Serial port</translation>
    </message>
    <message>
        <source>CAN口</source>
        <translation>CAN port</translation>
    </message>
    <message>
        <source>浏览</source>
        <translation>Browse</translation>
    </message>
    <message>
        <source>串口控制</source>
        <translation>Serial control</translation>
    </message>
    <message>
        <source>读版本号</source>
        <translation>Read version</translation>
    </message>
    <message>
        <source>读全版本号</source>
        <translation>Read full version</translation>
    </message>
    <message>
        <source>保存设置</source>
        <translation>Save settings</translation>
    </message>
    <message>
        <source>单次触发</source>
        <translation>Single trigger</translation>
    </message>
    <message>
        <source>设置帧率</source>
        <translation>Set frame rate</translation>
    </message>
    <message>
        <source>设置传输方式</source>
        <translation>Set transport</translation>
    </message>
    <message>
        <source>设置输出格式</source>
        <translation>Set output format</translation>
    </message>
    <message>
        <source>设置串口波特率</source>
        <translation>Set serial baud rate</translation>
    </message>
    <message>
        <source>设置输出模式</source>
        <translation>Set output mode</translation>
    </message>
    <message>
        <source>设置校验和</source>
        <translation>Set checksum</translation>
    </message>
    <message>
        <source>设置雨雾算法</source>
        <translation>Set rain/fog algorithm</translation>
    </message>
    <message>
        <source>DAC映射方式</source>
        <translation>DAC mapping</translation>
    </message>
    <message>
        <source>CAN控制</source>
        <translation>CAN control</translation>
    </message>
    <message>
        <source>设置CAN接收ID</source>
        <translation>Set CAN receive ID</translation>
    </message>
    <message>
        <source>设置CAN帧类型</source>
        <translation>Set CAN frame type</translation>
    </message>
    <message>
        <source>设置CAN波特率</source>
        <translation>Set CAN baud rate</translation>
    </message>
    <message>
        <source>设置测距偏移</source>
        <translation>Set distance offset</translation>
    </message>
    <message>
        <source>设置CAN发送ID</source>
        <translation>Set CAN send ID</translation>
    </message>
    <message>
        <source>近</source>
        <translation>Near</translation>
    </message>
    <message>
        <source>缓冲</source>
        <translation>Buffer</translation>
    </message>
    <message>
        <source>阈值</source>
        <translation>Threshold</translation>
    </message>
    <message>
        <source>设置触发阈值</source>
        <translation>Set trigger threshold</translation>
    </message>
    <message>
        <source>远</source>
        <translation>Far</translation>
    </message>
    <message>
        <source>设置IO电平</source>
        <translation>Set IO level</translation>
    </message>
    <message>
        <source>设置触发延时</source>
        <translation>Set trigger delay</translation>
    </message>
    <message>
        <source>设置自动增益</source>
        <translation>Set auto gain</translation>
    </message>
    <message>
        <source>软件复位</source>
        <translation>Software reset</translation>
    </message>
    <message>
        <source>恢复出厂设置</source>
        <translation>Restore factory settings</translation>
    </message>
    <message>
        <source>Modbus控制</source>
        <translation>Modbus control</translation>
    </message>
    <message>
        <source>serial</source>
        <translation>serial</translation>
    </message>
    <message>
        <source>modbus地址设置</source>
        <translation>Set Modbus address</translation>
    </message>
    <message>
        <source>使能modbus</source>
        <translation>Enable Modbus</translation>
    </message>
    <message>
        <source>modbus</source>
        <translation>modbus</translation>
    </message>
    <message>
        <source>保存配置</source>
        <translation>Save configuration</translation>
    </message>
    <message>
        <source>重启</source>
        <translation>Reboot</translation>
    </message>
    <message>
        <source>关机</source>
        <translation>Shut down</translation>
    </message>
    <message>
        <source>关闭modbus</source>
        <translation>Disable Modbus</translation>
    </message>
    <message>
        <source>读取版本号</source>
        <translation>Read version</translation>
    </message>
    <message>
        <source>设备地址</source>
        <translation>Device address</translation>
    </message>
    <message>
        <source>读距离</source>
        <translation>Read distance</translation>
    </message>
    <message>
        <source>配置波特率</source>
        <translation>Configure baud rate</translation>
    </message>
    <message>
        <source>配置地址</source>
        <translation>Configure address</translation>
    </message>
    <message>
        <source>10000</source>
        <translation>10000</translation>
    </message>
    <message>
        <source>配置采样频率</source>
        <translation>Set sampling rate</translation>
    </message>
    <message>
        <source>复位</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>使能</source>
        <translation>Enabled</translation>
    </message>
    <message>
        <source>配置自动增益使能</source>
        <translation>Enable auto gain</translation>
    </message>
    <message>
        <source>不使能</source>
        <translation>Disabled</translation>
    </message>
    <message>
        <source>配置自动增益不使能</source>
        <translation>Disable auto gain</translation>
    </message>
    <message>
        <source>警告：非法输入!</source>
        <translation>Warning: illegal input!</translation>
    </message>
    <message>
        <source>标准帧</source>
        <translation>Standard frame</translation>
    </message>
    <message>
        <source>配置CAN标准帧</source>
        <translation>Configure CAN standard frame</translation>
    </message>
    <message>
        <source>扩展帧</source>
        <translation>Extended frame</translation>
    </message>
    <message>
        <source>配置CAN扩展帧</source>
        <translation>Configure CAN extended frame</translation>
    </message>
    <message>
        <source>配置CAN波特率125K</source>
        <translation>Configure CAN baud rate 125K</translation>
    </message>
    <message>
        <source>配置CAN波特率250K</source>
        <translation>Configure CAN baud rate 250K</translation>
    </message>
    <message>
        <source>配置CAN波特率500K</source>
        <translation>Configure CAN baud rate 500K</translation>
    </message>
    <message>
        <source>配置CAN波特率1M</source>
        <translation>Configure CAN baud rate 1M</translation>
    </message>
    <message>
        <source>配置CAN接收ID</source>
        <translation>Configure CAN receive ID</translation>
    </message>
    <message>
        <source>警告：输入不能为空!</source>
        <translation>Warning: input must not be empty!</translation>
    </message>
    <message>
        <source>配置CAN发送ID</source>
        <translation>Configure CAN send ID</translation>
    </message>
    <message>
        <source>配置offset</source>
        <translation>Configure offset</translation>
    </message>
    <message>
        <source>高电平</source>
        <translation>High level</translation>
    </message>
    <message>
        <source>配置IO近距离高电平</source>
        <translation>Configure IO near-range high level</translation>
    </message>
    <message>
        <source>低电平</source>
        <translation>Low level</translation>
    </message>
    <message>
        <source>配置IO近距离低电平</source>
        <translation>Configure IO near-range low level</translation>
    </message>
    <message>
        <source>配置IO delay</source>
        <translation>Configure IO delay</translation>
    </message>
    <message>
        <source>配置IO dist阈值</source>
        <translation>Configure IO distance threshold</translation>
    </message>
    <message>
        <source>断开成功</source>
        <translation>Disconnected</translation>
    </message>
    <message>
        <source>连接失败!</source>
        <translation>Connection failed!</translation>
    </message>
    <message>
        <source>连接成功 </source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>断开</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>Input error</source>
        <translation>Input error</translation>
    </message>
    <message>
        <source>Please input valid time range!</source>
        <translation>Please input valid time range!</translation>
    </message>
    <message>
        <source>恢复</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>成功！</source>
        <translation>succeeded!</translation>
    </message>
    <message>
        <source>失败！</source>
        <translation>failed!</translation>
    </message>
    <message>
        <source>获取距离</source>
        <translation>Read distance</translation>
    </message>
    <message>
        <source>成功！dist = </source>
        <translation>succeeded! dist =</translation>
    </message>
    <message>
        <source>配置modbus地址</source>
        <translation>Configure Modbus address</translation>
    </message>
    <message>
        <source>关闭modbus协议</source>
        <translation>Disable Modbus protocol</translation>
    </message>
    <message>
        <source>使能modbus协议</source>
        <translation>Enable Modbus protocol</translation>
    </message>
    <message>
        <source>设置modbus地址</source>
        <translation>Set Modbus address</translation>
    </message>
    <message>
        <source>设置采样频率</source>
        <translation>Set sampling rate</translation>
    </message>
    <message>
        <source>采样率设置错误！有效值区间为1~10000！</source>
        <translation>Invalid sampling rate! The valid range is 1 to 10000!</translation>
    </message>
    <message>
        <source>获取版本号</source>
        <translation>Read version</translation>
    </message>
    <message>
        <source>成功: </source>
        <translation>succeeded:</translation>
    </message>
    <message>
        <source>关闭雷达</source>
        <translation>Shut down sensor</translation>
    </message>
    <message>
        <source>重启雷达</source>
        <translation>Reboot sensor</translation>
    </message>
    <message>
        <source>打开录制文件失败!</source>
        <translation>Failed to open the record file!</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>版本号获取失败</source>
        <translation>Failed to read the version</translation>
    </message>
    <message>
        <source>新版本号获取失败</source>
        <translation>Failed to read the full version</translation>
    </message>
    <message>
        <source>获取dist</source>
        <translation>Trigger measurement</translation>
    </message>
    <message>
        <source>成功</source>
        <translation>succeeded</translation>
    </message>
    <message>
        <source>失败</source>
        <translation>failed</translation>
    </message>
    <message>
        <source>配置CAN口</source>
        <translation>Configure CAN port</translation>
    </message>
    <message>
        <source>配置串口</source>
        <translation>Configure serial port</translation>
    </message>
    <message>
        <source>配置ASCII码格式</source>
        <translation>Configure ASCII format</translation>
    </message>
    <message>
        <source>配置二进制格式</source>
        <translation>Configure binary format</translation>
    </message>
    <message>
        <source>配置IO输出</source>
        <translation>Configure IO output</translation>
    </message>
    <message>
        <source>配置PIX</source>
        <translation>Configure PIX</translation>
    </message>
    <message>
        <source>配置RS485</source>
        <translation>Configure RS485</translation>
    </message>
    <message>
        <source>配置4-20mA</source>
        <translation>Configure 4-20mA</translation>
    </message>
    <message>
        <source>连续模式</source>
        <translation>Continuous mode</translation>
    </message>
    <message>
        <source>配置连续模式</source>
        <translation>Configure continuous mode</translation>
    </message>
    <message>
        <source>触发模式</source>
        <translation>Trigger mode</translation>
    </message>
    <message>
        <source>配置触发模式</source>
        <translation>Configure trigger mode</translation>
    </message>
    <message>
        <source>配置校验和使能</source>
        <translation>Enable checksum</translation>
    </message>
    <message>
        <source>配置校验和不使能</source>
        <translation>Disable checksum</translation>
    </message>
    <message>
        <source>正向</source>
        <translation>Forward</translation>
    </message>
    <message>
        <source>配置正向映射</source>
        <translation>Configure forward mapping</translation>
    </message>
    <message>
        <source>反向</source>
        <translation>Reverse</translation>
    </message>
    <message>
        <source>配置反向映射</source>
        <translation>Configure reverse mapping</translation>
    </message>
    <message>
        <source>警告：文件路径不能为空！</source>
        <translation>Warning: the file path must not be empty!</translation>
    </message>
    <message>
        <source>正在升级...</source>
        <translation>Upgrading...</translation>
    </message>
    <message>
        <source>打开文件</source>
        <translation>Open file</translation>
    </message>
    <message>
        <source>升级成功！</source>
        <translation>Upgrade succeeded!</translation>
    </message>
    <message>
        <source>升级失败！</source>
        <translation>Upgrade failed!</translation>
    </message>
    <message>
        <source>ZN84 Viewer</source>
        <translation>ZN84 Viewer</translation>
    </message>
    <message>
        <source>连接或断开串口</source>
        <translation>Connect to the port or disconnect</translation>
    </message>
    <message>
        <source>暂停或恢复显示</source>
        <translation>Pause or resume the display</translation>
    </message>
    <message>
        <source>清除曲线</source>
        <translation>Clear the chart</translation>
    </message>
    <message>
        <source>开始或停止录制</source>
        <translation>Start or stop recording</translation>
    </message>
    <message>
        <source>缩放后回到实时曲线</source>
        <translation>Back to the live chart after a zoom</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>距离</source>
        <translation>Distance</translation>
    </message>
    <message>
        <source>帧率</source>
        <translation>rate</translation>
    </message>
    <message>
        <source>确定升级固件吗？升级过程中请勿断开连接。</source>
        <translation>Upgrade the firmware? Do not disconnect the sensor during the upgrade.</translation>
    </message>
    <message>
        <source>确定恢复出厂设置吗？</source>
        <translation>Restore the factory settings?</translation>
    </message>
    <message>
        <source>未选择串口</source>
        <translation>No port chosen</translation>
    </message>
    <message>
        <source>数据已过时：超过1秒未收到测量帧</source>
        <translation>Out of date: no measurement frame for over a second</translation>
    </message>
    <message>
        <source>最新测量距离（米）</source>
        <translation>Latest measured distance (m)</translation>
    </message>
    <message>
        <source>固件升级</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>传感器所在的串口</source>
        <translation>Serial port the sensor is on</translation>
    </message>
    <message>
        <source>串口波特率（bit/s），1~2147483647</source>
        <translation>Baud rate of the serial port (bit/s), 1 to 2147483647</translation>
    </message>
    <message>
        <source>图表显示的时间范围（秒），1~3600</source>
        <translation>Time range the chart shows (s), 1 to 3600</translation>
    </message>
    <message>
        <source>每批交给窗口的测距数量，1~1000</source>
        <translation>Distances handed to the window per batch, 1 to 1000</translation>
    </message>
    <message>
        <source>测量帧率（Hz），0~65535</source>
        <translation>Measurement frame rate (Hz), 0 to 65535</translation>
    </message>
    <message>
        <source>传感器通信所用的接口</source>
        <translation>Interface the sensor communicates on</translation>
    </message>
    <message>
        <source>传感器的输出格式</source>
        <translation>The sensor's output format</translation>
    </message>
    <message>
        <source>传感器串口波特率（bit/s），1~4294967295</source>
        <translation>The sensor's serial baud rate (bit/s), 1 to 4294967295</translation>
    </message>
    <message>
        <source>连续输出或每次触发输出一个距离</source>
        <translation>Continuous output, or one distance per trigger</translation>
    </message>
    <message>
        <source>命令帧的校验和</source>
        <translation>Checksum of the command frames</translation>
    </message>
    <message>
        <source>雨雾算法</source>
        <translation>Rain and fog algorithm</translation>
    </message>
    <message>
        <source>模拟输出的映射方向</source>
        <translation>Direction of the analogue output's mapping</translation>
    </message>
    <message>
        <source>自动增益控制</source>
        <translation>Automatic gain control</translation>
    </message>
    <message>
        <source>CAN帧格式</source>
        <translation>CAN frame format</translation>
    </message>
    <message>
        <source>CAN波特率（bit/s）</source>
        <translation>CAN bit rate (bit/s)</translation>
    </message>
    <message>
        <source>传感器接收的CAN ID，十进制或0x十六进制，0~0xFFFFFFFF</source>
        <translation>CAN ID the sensor receives on, decimal or 0x hexadecimal, 0 to 0xFFFFFFFF</translation>
    </message>
    <message>
        <source>传感器发送的CAN ID，十进制或0x十六进制，0~0xFFFFFFFF</source>
        <translation>CAN ID the sensor sends with, decimal or 0x hexadecimal, 0 to 0xFFFFFFFF</translation>
    </message>
    <message>
        <source>测距偏移（cm），-32768~32767</source>
        <translation>Distance offset (cm), -32768 to 32767</translation>
    </message>
    <message>
        <source>目标在近处时IO输出的电平</source>
        <translation>IO output level while the target is near</translation>
    </message>
    <message>
        <source>切换到近距离的延时（ms），0~65535</source>
        <translation>Delay before switching to near (ms), 0 to 65535</translation>
    </message>
    <message>
        <source>切换到远距离的延时（ms），0~65535</source>
        <translation>Delay before switching to far (ms), 0 to 65535</translation>
    </message>
    <message>
        <source>IO切换距离（cm），0~65535</source>
        <translation>IO switching distance (cm), 0 to 65535</translation>
    </message>
    <message>
        <source>IO切换的回差（cm），0~65535</source>
        <translation>Hysteresis of the IO switching (cm), 0 to 65535</translation>
    </message>
    <message>
        <source>用传感器协议设置的Modbus地址，1~247</source>
        <translation>Modbus address, set in the sensor's own protocol, 1 to 247</translation>
    </message>
    <message>
        <source>Modbus命令发往的设备地址，0~247</source>
        <translation>Device address the Modbus commands go to, 0 to 247</translation>
    </message>
    <message>
        <source>设备的新Modbus地址，1~247</source>
        <translation>The device's new Modbus address, 1 to 247</translation>
    </message>
    <message>
        <source>采样频率（Hz），1~10000</source>
        <translation>Sampling frequency (Hz), 1 to 10000</translation>
    </message>
    <message>
        <source>固件文件的路径</source>
        <translation>Path of the firmware file</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>测量帧率</source>
        <translation>Frame rate</translation>
    </message>
    <message>
        <source>CAN接收ID</source>
        <translation>CAN receive ID</translation>
    </message>
    <message>
        <source>CAN发送ID</source>
        <translation>CAN send ID</translation>
    </message>
    <message>
        <source>测距偏移（cm）</source>
        <translation>Distance offset (cm)</translation>
    </message>
    <message>
        <source>近距离IO延时</source>
        <translation>Near IO delay</translation>
    </message>
    <message>
        <source>远距离IO延时</source>
        <translation>Far IO delay</translation>
    </message>
    <message>
        <source>IO距离阈值</source>
        <translation>IO distance threshold</translation>
    </message>
    <message>
        <source>IO距离缓冲</source>
        <translation>IO distance hysteresis</translation>
    </message>
    <message>
        <source>串口波特率</source>
        <translation>Serial baud rate</translation>
    </message>
    <message>
        <source>modbus地址</source>
        <translation>Modbus address</translation>
    </message>
    <message>
        <source>%1：未输入，有效范围为 %2</source>
        <translation>%1: nothing entered; accepted: %2</translation>
    </message>
    <message>
        <source>%1：输入“%2”无效，有效范围为 %3</source>
        <translation>%1: "%2" is not accepted; accepted: %3</translation>
    </message>
    <message>
        <source>%1（十进制或0x开头的十六进制）</source>
        <translation>%1 (decimal, or hexadecimal after 0x)</translation>
    </message>
    <message>
        <source>未选择固件文件</source>
        <translation>no firmware file chosen</translation>
    </message>
    <message>
        <source>在最新读数处加标记</source>
        <translation>Drop a marker at the newest reading</translation>
    </message>
</context>
<context>
    <name>LinkPanel</name>
    <message>
        <source>没有权限打开此端口：请将用户加入 dialout 组，然后重新登录</source>
        <translation>No permission to open this port: add the user to the dialout group, then log in again</translation>
    </message>
    <message>
        <source>端口已被其他程序占用</source>
        <translation>The port is in use by another program</translation>
    </message>
    <message>
        <source>端口不存在</source>
        <translation>The port does not exist</translation>
    </message>
    <message>
        <source>设备丢失，正在等待</source>
        <translation>Device lost, waiting for it</translation>
    </message>
    <message>
        <source>设备丢失</source>
        <translation>Device lost</translation>
    </message>
    <message>
        <source>已重新连接</source>
        <translation>Reconnected</translation>
    </message>
    <message>
        <source>链路</source>
        <translation>Link</translation>
    </message>
    <message>
        <source>自动重连</source>
        <translation>Auto reconnect</translation>
    </message>
    <message>
        <source>重连次数</source>
        <translation>Reconnections</translation>
    </message>
    <message>
        <source>好帧</source>
        <translation>Good frames</translation>
    </message>
    <message>
        <source>校验错误</source>
        <translation>Bad checksums</translation>
    </message>
    <message>
        <source>杂散字节</source>
        <translation>Stray bytes</translation>
    </message>
    <message>
        <source>重同步</source>
        <translation>Resyncs</translation>
    </message>
    <message>
        <source>线路不良：超过1%的帧校验错误</source>
        <translation>Poor line: over 1% of the frames fail their checksum</translation>
    </message>
    <message>
        <source>查找传感器</source>
        <translation>Find sensor</translation>
    </message>
    <message>
        <source>显示命令记录</source>
        <translation>Show command traffic</translation>
    </message>
    <message>
        <source>命令记录</source>
        <translation>Traffic</translation>
    </message>
</context>
<context>
    <name>TrafficPanel</name>
    <message>
        <source>成功</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>无应答</source>
        <translation>no answer</translation>
    </message>
    <message>
        <source>应答不符</source>
        <translation>wrong answer</translation>
    </message>
    <message>
        <source>帧</source>
        <translation>frames</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>sent</translation>
    </message>
    <message>
        <source>接收</source>
        <translation>received</translation>
    </message>
    <message>
        <source>全部复制</source>
        <translation>Copy all</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>读版本号</source>
        <translation>Read version</translation>
    </message>
    <message>
        <source>读全版本号</source>
        <translation>Read full version</translation>
    </message>
    <message>
        <source>单次触发</source>
        <translation>Trigger measurement</translation>
    </message>
    <message>
        <source>复位</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>设置帧率</source>
        <translation>Set frame rate</translation>
    </message>
    <message>
        <source>设置输出格式</source>
        <translation>Set output format</translation>
    </message>
    <message>
        <source>设置波特率</source>
        <translation>Set baud rate</translation>
    </message>
    <message>
        <source>设置输出模式</source>
        <translation>Set output mode</translation>
    </message>
    <message>
        <source>设置校验和</source>
        <translation>Set checksum</translation>
    </message>
    <message>
        <source>恢复出厂设置</source>
        <translation>Restore factory settings</translation>
    </message>
    <message>
        <source>保存设置</source>
        <translation>Save configuration</translation>
    </message>
    <message>
        <source>设置通信接口</source>
        <translation>Set interface</translation>
    </message>
    <message>
        <source>设置自动增益</source>
        <translation>Set auto gain</translation>
    </message>
    <message>
        <source>设置CAN发送ID</source>
        <translation>Set CAN send ID</translation>
    </message>
    <message>
        <source>设置CAN接收ID</source>
        <translation>Set CAN receive ID</translation>
    </message>
    <message>
        <source>设置CAN波特率</source>
        <translation>Set CAN baud rate</translation>
    </message>
    <message>
        <source>自定义选择</source>
        <translation>Custom choice</translation>
    </message>
    <message>
        <source>设置CAN帧类型</source>
        <translation>Set CAN frame type</translation>
    </message>
    <message>
        <source>设置近距离IO电平</source>
        <translation>Set near IO level</translation>
    </message>
    <message>
        <source>设置IO延时</source>
        <translation>Set IO delay</translation>
    </message>
    <message>
        <source>设置IO距离阈值</source>
        <translation>Set IO distance threshold</translation>
    </message>
    <message>
        <source>设置雨雾算法</source>
        <translation>Set fog filter</translation>
    </message>
    <message>
        <source>设置测距偏移</source>
        <translation>Set distance offset</translation>
    </message>
    <message>
        <source>使能modbus协议</source>
        <translation>Enable Modbus</translation>
    </message>
    <message>
        <source>设置modbus地址</source>
        <translation>Set Modbus address</translation>
    </message>
    <message>
        <source>设置DAC映射</source>
        <translation>Set DAC mapping</translation>
    </message>
    <message>
        <source>固件升级</source>
        <translation>Firmware upgrade</translation>
    </message>
    <message>
        <source>Modbus读距离</source>
        <translation>Modbus read distance</translation>
    </message>
    <message>
        <source>Modbus读版本号</source>
        <translation>Modbus read version</translation>
    </message>
    <message>
        <source>Modbus保存设置</source>
        <translation>Modbus save configuration</translation>
    </message>
    <message>
        <source>关闭modbus协议</source>
        <translation>Disable Modbus</translation>
    </message>
    <message>
        <source>Modbus设置波特率高16位</source>
        <translation>Modbus set baud rate, high 16 bits</translation>
    </message>
    <message>
        <source>Modbus设置波特率低16位</source>
        <translation>Modbus set baud rate, low 16 bits</translation>
    </message>
    <message>
        <source>Modbus设置设备地址</source>
        <translation>Modbus set device address</translation>
    </message>
    <message>
        <source>Modbus设置采样频率</source>
        <translation>Modbus set sampling rate</translation>
    </message>
    <message>
        <source>Modbus寄存器 0x%1</source>
        <translation>Modbus register 0x%1</translation>
    </message>
    <message>
        <source>命令 0x%1</source>
        <translation>Command 0x%1</translation>
    </message>
    <message>
        <source>Modbus重启雷达</source>
        <translation>Modbus restart</translation>
    </message>
    <message>
        <source>Modbus关闭雷达</source>
        <translation>Modbus shut down</translation>
    </message>
</context>
<context>
    <name>FindDialog</name>
    <message>
        <source>查找传感器</source>
        <translation>Find sensor</translation>
    </message>
    <message>
        <source>同时尝试版本查询（会向端口写入）</source>
        <translation>Also try the version query (writes to the ports)</translation>
    </message>
    <message>
        <source>停止查找</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>开始查找</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>连接</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>有效帧</source>
        <translation>Valid frames</translation>
    </message>
    <message>
        <source>版本应答</source>
        <translation>Version reply</translation>
    </message>
    <message>
        <source>正在查找…</source>
        <translation>Searching...</translation>
    </message>
    <message>
        <source>未找到传感器</source>
        <translation>No sensor found</translation>
    </message>
    <message>
        <source>查找完成：%1 个结果</source>
        <translation>Done: %1 found</translation>
    </message>
    <message>
        <source>无法打开：%1</source>
        <translation>Could not open: %1</translation>
    </message>
</context>
<context>
    <name>ChartPanel</name>
    <message>
        <source>回到实时</source>
        <translation>Back to live</translation>
    </message>
    <message>
        <source>回放录制</source>
        <translation>Open recording</translation>
    </message>
    <message>
        <source>导出CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>导出图片</source>
        <translation>Export image</translation>
    </message>
    <message>
        <source>峰峰值</source>
        <translation>p-p</translation>
    </message>
    <message>
        <source>帧率</source>
        <translation>rate</translation>
    </message>
    <message>
        <source>平均</source>
        <translation>mean</translation>
    </message>
    <message>
        <source>录制为CSV</source>
        <translation>Record as CSV</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>最大</source>
        <translation>Max</translation>
    </message>
    <message>
        <source>最小</source>
        <translation>Min</translation>
    </message>
    <message>
        <source>标准差</source>
        <translation>s.d.</translation>
    </message>
    <message>
        <source>点数</source>
        <translation>n</translation>
    </message>
    <message>
        <source>自动量程</source>
        <translation>Autoscale</translation>
    </message>
    <message>
        <source>距离</source>
        <translation>Distance</translation>
    </message>
</context>
<context>
    <name>ChartFiles</name>
    <message>
        <source>%1 已存在，是否覆盖？</source>
        <translation>%1 already exists. Overwrite it?</translation>
    </message>
    <message>
        <source>CSV文件</source>
        <translation>CSV file</translation>
    </message>
    <message>
        <source>PNG图片</source>
        <translation>PNG image</translation>
    </message>
    <message>
        <source>回放</source>
        <translation>Replay</translation>
    </message>
    <message>
        <source>回放 %1: 读取%2行, %3个读数</source>
        <translation>Replay %1: %2 lines read, %3 readings</translation>
    </message>
    <message>
        <source>回放失败: %1 中没有读数</source>
        <translation>Replay refused: no reading in %1</translation>
    </message>
    <message>
        <source>回放失败: %1 是空文件</source>
        <translation>Replay refused: %1 is empty</translation>
    </message>
    <message>
        <source>回放录制</source>
        <translation>Open recording</translation>
    </message>
    <message>
        <source>失败！</source>
        <translation>failed!</translation>
    </message>
    <message>
        <source>导出CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>导出图片</source>
        <translation>Export image</translation>
    </message>
    <message>
        <source>录制文件</source>
        <translation>Recordings</translation>
    </message>
    <message>
        <source>录制时的帧率(Hz):</source>
        <translation>Frame rate of the recording (Hz):</translation>
    </message>
    <message>
        <source>成功！</source>
        <translation>succeeded!</translation>
    </message>
    <message>
        <source>打开录制文件失败!</source>
        <translation>Failed to open the record file!</translation>
    </message>
    <message>
        <source>跳过%1行, 第一个无法读取的是第%2行</source>
        <translation>%1 lines skipped, the first unreadable is line %2</translation>
    </message>
</context>
<context>
    <name>JudgePanel</name>
    <message>
        <source>上下限无效：应为%1~%2米的数</source>
        <translation>Invalid limits: numbers of %1~%2 m expected</translation>
    </message>
    <message>
        <source>上限（米）</source>
        <translation>Upper limit (m)</translation>
    </message>
    <message>
        <source>上限，相对零点（米，%1~%2；上下限都为空则不判定）</source>
        <translation>Upper limit, relative to the zero (m, %1~%2; both limits empty: no judgement)</translation>
    </message>
    <message>
        <source>下限必须小于上限</source>
        <translation>The lower limit must be below the upper limit</translation>
    </message>
    <message>
        <source>下限（米）</source>
        <translation>Lower limit (m)</translation>
    </message>
    <message>
        <source>下限，相对零点（米，%1~%2；上下限都为空则不判定）</source>
        <translation>Lower limit, relative to the zero (m, %1~%2; both limits empty: no judgement)</translation>
    </message>
    <message>
        <source>公差</source>
        <translation>Tolerance</translation>
    </message>
    <message>
        <source>判定</source>
        <translation>Judge</translation>
    </message>
    <message>
        <source>判定计数</source>
        <translation>Judgement counters</translation>
    </message>
    <message>
        <source>合格</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>复位计数</source>
        <translation>Reset counters</translation>
    </message>
    <message>
        <source>大于此值的跳变若持续少于设定样本数则剔除（米，0~%1，0为关闭）</source>
        <translation>A step larger than this lasting fewer than the set samples is dropped (m, 0~%1; 0 off)</translation>
    </message>
    <message>
        <source>平均值（米）</source>
        <translation>Mean (m)</translation>
    </message>
    <message>
        <source>应用</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>当前读数应显示的值（米，%1~%2）</source>
        <translation>The value the present reading is to show (m, %1~%2)</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>无测量</source>
        <translation>No measurement</translation>
    </message>
    <message>
        <source>显示或隐藏测量判定面板</source>
        <translation>Shows or hides the judgement panel</translation>
    </message>
    <message>
        <source>最长超差（秒）</source>
        <translation>Longest violation (s)</translation>
    </message>
    <message>
        <source>标准值 %1 m（零点 %2 m）</source>
        <translation>Master %1 m (zero at %2 m)</translation>
    </message>
    <message>
        <source>标准值“%1”无效：应为%2~%3米</source>
        <translation>Invalid master value "%1": %2~%3 m expected</translation>
    </message>
    <message>
        <source>标准值（米）</source>
        <translation>Master value (m)</translation>
    </message>
    <message>
        <source>标准差（米）</source>
        <translation>Standard deviation (m)</translation>
    </message>
    <message>
        <source>样本不足：置零需要最近%1个样本</source>
        <translation>Not enough samples: the zero needs the last %1 samples</translation>
    </message>
    <message>
        <source>样本数</source>
        <translation>Samples</translation>
    </message>
    <message>
        <source>测量判定</source>
        <translation>Judgement</translation>
    </message>
    <message>
        <source>滑动中值</source>
        <translation>Moving median</translation>
    </message>
    <message>
        <source>滑动平均</source>
        <translation>Moving average</translation>
    </message>
    <message>
        <source>滑动平均1~%1个样本，滑动中值1~%2个样本（奇数）</source>
        <translation>Moving average 1~%1 samples, moving median 1~%2 samples (odd)</translation>
    </message>
    <message>
        <source>滤波</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>滤波值用于读数和判定</source>
        <translation>Filtered value feeds the readouts and the judgement</translation>
    </message>
    <message>
        <source>相对零点 %1 m</source>
        <translation>Relative to the zero at %1 m</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>绝对值</source>
        <translation>Absolute</translation>
    </message>
    <message>
        <source>置零</source>
        <translation>Zero</translation>
    </message>
    <message>
        <source>置零或设标准值时取最近N个样本的平均值（1~%1）</source>
        <translation>Zero and master take the mean of the last N samples (1~%1)</translation>
    </message>
    <message>
        <source>设为标准值</source>
        <translation>Set master</translation>
    </message>
    <message>
        <source>超上限</source>
        <translation>Above</translation>
    </message>
    <message>
        <source>超上限样本</source>
        <translation>Samples above</translation>
    </message>
    <message>
        <source>超下限</source>
        <translation>Below</translation>
    </message>
    <message>
        <source>超下限样本</source>
        <translation>Samples below</translation>
    </message>
    <message>
        <source>超差后须回到限内此距离才算合格（米，0~%1）</source>
        <translation>After a violation the value must come back inside by this much to be OK (m, 0~%1)</translation>
    </message>
    <message>
        <source>超差时间（秒）</source>
        <translation>Time out of tolerance (s)</translation>
    </message>
    <message>
        <source>超差次数</source>
        <translation>Violations</translation>
    </message>
    <message>
        <source>跳变持续少于此样本数则剔除（1~1000）</source>
        <translation>A step lasting fewer samples than this is dropped (1~1000)</translation>
    </message>
    <message>
        <source>跳变样本数</source>
        <translation>Jump samples</translation>
    </message>
    <message>
        <source>跳变阈值“%1”无效：应为0~%2米</source>
        <translation>Invalid jump step "%1": 0~%2 m expected</translation>
    </message>
    <message>
        <source>跳变阈值（米）</source>
        <translation>Jump step (m)</translation>
    </message>
    <message>
        <source>输入错误</source>
        <translation>Input error</translation>
    </message>
    <message>
        <source>迟滞“%1”无效：应为0~%2米</source>
        <translation>Invalid hysteresis "%1": 0~%2 m expected</translation>
    </message>
    <message>
        <source>迟滞（米）</source>
        <translation>Hysteresis (m)</translation>
    </message>
    <message>
        <source>长度</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>零点/标准值</source>
        <translation>Zero / master</translation>
    </message>
    <message>
        <source>零点样本数</source>
        <translation>Samples for zero</translation>
    </message>
</context>
<context>
    <name>SignalPanel</name>
    <message>
        <source>信号分析</source>
        <translation>Signal analysis</translation>
    </message>
    <message>
        <source>频谱</source>
        <translation>Spectrum</translation>
    </message>
    <message>
        <source>直方图</source>
        <translation>Histogram</translation>
    </message>
    <message>
        <source>触发捕获</source>
        <translation>Triggered capture</translation>
    </message>
</context>
<context>
    <name>SpectrumView</name>
    <message>
        <source>帧率 %1 帧/秒，分辨率 %2 Hz</source>
        <translation>Frame rate %1 frames/s, resolution %2 Hz</translation>
    </message>
    <message>
        <source>%1 Hz：%2 mm</source>
        <translation>%1 Hz: %2 mm</translation>
    </message>
    <message>
        <source>点数</source>
        <translation>Points</translation>
    </message>
    <message>
        <source>窗函数</source>
        <translation>Window</translation>
    </message>
    <message>
        <source>平均</source>
        <translation>Averages</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>汉宁</source>
        <translation>Hann</translation>
    </message>
    <message>
        <source>布莱克曼-哈里斯</source>
        <translation>Blackman-Harris</translation>
    </message>
    <message>
        <source>平顶</source>
        <translation>Flat top</translation>
    </message>
    <message>
        <source>线性 (m)</source>
        <translation>Linear (m)</translation>
    </message>
    <message>
        <source>对数 (dB re 1 m)</source>
        <translation>Logarithmic (dB re 1 m)</translation>
    </message>
    <message>
        <source>频率 (Hz)</source>
        <translation>Frequency (Hz)</translation>
    </message>
    <message>
        <source>等待 %1 个数据</source>
        <translation>Waiting for %1 samples</translation>
    </message>
    <message>
        <source>最新数据</source>
        <translation>The newest samples</translation>
    </message>
    <message>
        <source>图表范围内的最新数据</source>
        <translation>The newest samples in the chart's range</translation>
    </message>
    <message>
        <source>图表范围内有 %1 个数据，少于 %2 点</source>
        <translation>The chart's range holds %1 samples, fewer than %2</translation>
    </message>
</context>
<context>
    <name>HistogramView</name>
    <message>
        <source>箱宽太小：超过 %1 个箱</source>
        <translation>Bin width too small: more than %1 bins</translation>
    </message>
    <message>
        <source>等待数据</source>
        <translation>Waiting for samples</translation>
    </message>
    <message>
        <source>%1 个数据  平均 %2 m  σ %3 mm  ±3σ %4 mm  箱宽 %5 mm</source>
        <translation>%1 samples  mean %2 m  σ %3 mm  ±3σ %4 mm  bin %5 mm</translation>
    </message>
    <message>
        <source>最近数据个数</source>
        <translation>Newest samples</translation>
    </message>
    <message>
        <source>箱宽</source>
        <translation>Bin width</translation>
    </message>
    <message>
        <source>自动</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>距离 (m)</source>
        <translation>Distance (m)</translation>
    </message>
    <message>
        <source>次数</source>
        <translation>Count</translation>
    </message>
    <message>
        <source>最近的数据</source>
        <translation>The newest samples</translation>
    </message>
    <message>
        <source>图表上的数据</source>
        <translation>The samples on the chart</translation>
    </message>
    <message>
        <source>图表范围内没有数据</source>
        <translation>No samples in the chart's range</translation>
    </message>
</context>
<context>
    <name>CaptureView</name>
    <message>
        <source>帧率未知：请先连接传感器</source>
        <translation>Frame rate unknown: connect the sensor first</translation>
    </message>
    <message>
        <source>未启动</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>正在填充触发前数据</source>
        <translation>Filling the pre-trigger part</translation>
    </message>
    <message>
        <source>等待触发</source>
        <translation>Waiting for the trigger</translation>
    </message>
    <message>
        <source>已触发，正在采集</source>
        <translation>Triggered, collecting</translation>
    </message>
    <message>
        <source>触发次数 %1</source>
        <translation>Triggers %1</translation>
    </message>
    <message>
        <source>上次捕获 %1 个数据 %2</source>
        <translation>last capture %1 samples %2</translation>
    </message>
    <message>
        <source>（自动，无触发）</source>
        <translation>(auto, no trigger)</translation>
    </message>
    <message>
        <source>启动</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>保存捕获</source>
        <translation>Save capture</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>无法写入 %1</source>
        <translation>Cannot write %1</translation>
    </message>
    <message>
        <source>触发</source>
        <translation>Trigger</translation>
    </message>
    <message>
        <source>电平</source>
        <translation>Level</translation>
    </message>
    <message>
        <source>触发前</source>
        <translation>Before</translation>
    </message>
    <message>
        <source>触发后</source>
        <translation>After</translation>
    </message>
    <message>
        <source>模式</source>
        <translation>Mode</translation>
    </message>
    <message>
        <source>上升沿</source>
        <translation>Rising edge</translation>
    </message>
    <message>
        <source>下降沿</source>
        <translation>Falling edge</translation>
    </message>
    <message>
        <source>双沿</source>
        <translation>Either edge</translation>
    </message>
    <message>
        <source>超出公差</source>
        <translation>Leaving the tolerance</translation>
    </message>
    <message>
        <source>单次</source>
        <translation>Single</translation>
    </message>
    <message>
        <source>正常</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>自动</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>保存 CSV</source>
        <translation>Save CSV</translation>
    </message>
    <message>
        <source>距触发的时间 (s)</source>
        <translation>Time from the trigger (s)</translation>
    </message>
    <message>
        <source>距离 (m)</source>
        <translation>Distance (m)</translation>
    </message>
</context>
<context>
    <name>ChartMarkers</name>
    <message>
        <source>标记</source>
        <translation>Marker</translation>
    </message>
    <message>
        <source>标记名称, 回车添加</source>
        <translation>Marker label, Enter drops it</translation>
    </message>
</context>
<context>
    <name>RemoteDialog</name>
    <message>
        <source>发布到代理</source>
        <translation>Publish to a broker</translation>
    </message>
    <message>
        <source>查看远程传感器</source>
        <translation>View a remote sensor</translation>
    </message>
    <message>
        <source>代理地址</source>
        <translation>Broker</translation>
    </message>
    <message>
        <source>主题前缀</source>
        <translation>Topic prefix</translation>
    </message>
    <message>
        <source>客户端标识</source>
        <translation>Client id</translation>
    </message>
    <message>
        <source>用户名</source>
        <translation>User name</translation>
    </message>
    <message>
        <source>密码文件</source>
        <translation>Password file</translation>
    </message>
    <message>
        <source>CA 证书文件</source>
        <translation>CA file</translation>
    </message>
    <message>
        <source>批次间隔</source>
        <translation>Batch interval</translation>
    </message>
    <message>
        <source>代理地址无效：%1</source>
        <translation>Invalid broker address: %1</translation>
    </message>
    <message>
        <source>主题前缀无效：%1</source>
        <translation>Invalid topic prefix: %1</translation>
    </message>
    <message>
        <source>密码文件需要用户名</source>
        <translation>A password file needs a user name</translation>
    </message>
    <message>
        <source>无法读取密码文件：%1</source>
        <translation>Cannot read the password file: %1</translation>
    </message>
    <message>
        <source>CA 证书文件需要 mqtts:// 代理</source>
        <translation>A CA file needs an mqtts:// broker</translation>
    </message>
    <message>
        <source>无法读取 CA 证书文件：%1</source>
        <translation>Cannot read the CA file: %1</translation>
    </message>
</context>
<context>
    <name>RemotePanel</name>
    <message>
        <source>无法查看远程传感器：%1</source>
        <translation>Cannot view the remote sensor: %1</translation>
    </message>
    <message>
        <source>代理拒绝连接：%1</source>
        <translation>The broker refused the connection: %1</translation>
    </message>
    <message>
        <source>请先断开本地传感器</source>
        <translation>Disconnect the local sensor first</translation>
    </message>
    <message>
        <source>远程：%1（只读）</source>
        <translation>Remote: %1 (read-only)</translation>
    </message>
    <message>
        <source>发布：%1 · 排队 %2 · 丢弃 %3</source>
        <translation>Publishing: %1 · queued %2 · dropped %3</translation>
    </message>
    <message>
        <source>已连接</source>
        <translation>connected</translation>
    </message>
    <message>
        <source>未连接</source>
        <translation>not connected</translation>
    </message>
    <message>
        <source>远程：%1 · 缺失 %2</source>
        <translation>Remote: %1 · missed %2</translation>
    </message>
    <message>
        <source>传感器离线</source>
        <translation>sensor offline</translation>
    </message>
    <message>
        <source>远程</source>
        <translation>Remote</translation>
    </message>
    <message>
        <source>发布到代理…</source>
        <translation>Publish to a broker…</translation>
    </message>
    <message>
        <source>查看远程传感器…</source>
        <translation>View a remote sensor…</translation>
    </message>
</context>
<context>
    <name>UpgradeControls</name>
    <message>
        <source>文件不存在或不是普通文件</source>
        <translation>file missing or not a regular file</translation>
    </message>
    <message>
        <source>文件无法读取</source>
        <translation>file cannot be read</translation>
    </message>
    <message>
        <source>文件为空</source>
        <translation>file is empty</translation>
    </message>
    <message>
        <source>文件过大</source>
        <translation>file too large for the frame index</translation>
    </message>
    <message>
        <source>串口未打开</source>
        <translation>port not open</translation>
    </message>
    <message>
        <source>第%1帧无应答</source>
        <translation>no acknowledgement for frame %1</translation>
    </message>
    <message>
        <source>串口断开</source>
        <translation>port lost</translation>
    </message>
    <message>
        <source>已取消</source>
        <translation>cancelled</translation>
    </message>
</context>
</TS>
