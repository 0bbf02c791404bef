<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ru">
<context>
    <name>fk::CountdownWindow</name>
    <message>
        <source>Esc — отменить снимок</source>
        <translation>Esc — cancel the shot</translation>
    </message>
    <message>
        <source>Fotokran: отсчет</source>
        <translation>Fotokran: countdown</translation>
    </message>
</context>
<context>
    <name>fk::Notifier</name>
    <message>
        <source>Сохранено: %1</source>
        <translation>Saved: %1</translation>
    </message>
    <message>
        <source>В папке %1</source>
        <translation>In the folder %1</translation>
    </message>
    <message>
        <source>Открыть</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Открыть папку</source>
        <translation>Open folder</translation>
    </message>
</context>
<context>
    <name>fk::PortalHotKeys</name>
    <message>
        <source>Fotokran: снимок экрана</source>
        <translation>Fotokran: screenshot</translation>
    </message>
    <message>
        <source>Fotokran: снимок окна</source>
        <translation>Fotokran: window shot</translation>
    </message>
    <message>
        <source>Fotokran: съемка по таймеру</source>
        <translation>Fotokran: timed shots</translation>
    </message>
    <message>
        <source>Fotokran: съемка видео</source>
        <translation>Fotokran: video</translation>
    </message>
    <message>
        <source>На этом рабочем столе GNOME программы не могут сами занять горячие клавиши. Fotokran может добавить в сочетания клавиш GNOME свои: Print, Ctrl+Print, Shift+Print и Shift+Scroll Lock (Print и Shift+Print перестанут вызывать снимок экрана GNOME). Добавить их?</source>
        <translation>On this GNOME desktop programs cannot take hot keys themselves. Fotokran can add its own to the GNOME keyboard shortcuts: Print, Ctrl+Print, Shift+Print and Shift+Scroll Lock (Print and Shift+Print will no longer open the GNOME screenshot). Add them?</translation>
    </message>
    <message>
        <source>Снимок экрана</source>
        <translation>Screenshot</translation>
    </message>
    <message>
        <source>Снимок окна</source>
        <translation>Window shot</translation>
    </message>
    <message>
        <source>Съемка по таймеру</source>
        <translation>Timed shots</translation>
    </message>
    <message>
        <source>Съемка видео</source>
        <translation>Record video</translation>
    </message>
</context>
<context>
    <name>fk::RegionSelector</name>
    <message>
        <source>Fotokran: снимок области</source>
        <translation>Fotokran: region shot</translation>
    </message>
</context>
<context>
    <name>fk::TAboutBox</name>
    <message>
        <source>Минимальный размер задержки таймера при &quot;съемке по таймеру&quot;  - 10 мс</source>
        <translation>The shortest timer interval for &quot;timed shots&quot; is 10 ms</translation>
    </message>
    <message>
        <source>Что бы поместить маску файла в список сохраняемых - нажмите [+] рядом с выпадающим списоком</source>
        <translation>To keep a file mask in the saved list, press [+] next to the drop-down list</translation>
    </message>
    <message>
        <source>Подправить все настройки, включая список масок файлов, можно в файле config.ini</source>
        <translation>Every setting, the list of file masks included, can be edited in the file config.ini</translation>
    </message>
    <message>
        <source>При возникновении проблем с запуском или закрытием приложения попробуйте удалить файл настроек config.ini</source>
        <translation>If the program has trouble starting or closing, try deleting its settings file config.ini</translation>
    </message>
    <message>
        <source>При съемке видео в формат GIF используются теже настройки палитры что и при снятии экрана</source>
        <translation>A GIF video uses the same palette setting as the screenshots</translation>
    </message>
    <message>
        <source>Полупрозрачные окна в кадр не попадают, поэтому используйте режим прозрачности для того чтобы окно Fotokran не попадало в кадр</source>
        <translation>Translucent windows are left out of the picture, so turn transparency on to keep the Fotokran window out of it</translation>
    </message>
    <message>
        <source>Съемка всего экрана:</source>
        <translation>Whole screen:</translation>
    </message>
    <message>
        <source>Съемка активного окна:</source>
        <translation>Active window:</translation>
    </message>
    <message>
        <source>Съемка по таймеру:</source>
        <translation>Timed shots:</translation>
    </message>
    <message>
        <source>Съемка видео:</source>
        <translation>Video:</translation>
    </message>
    <message>
        <source>Помощь :: О программе</source>
        <translation>Help :: About</translation>
    </message>
    <message>
        <source>[ О программе ]</source>
        <translation>[ About ]</translation>
    </message>
    <message>
        <source>Программа для снятия снимков с экрана</source>
        <translation>A program for taking screenshots</translation>
    </message>
    <message>
        <source>[ Горячие клавиши ]</source>
        <translation>[ Hot keys ]</translation>
    </message>
    <message>
        <source>[ Автор ]</source>
        <translation>[ Author ]</translation>
    </message>
    <message>
        <source>Проект Fotokran, 2026</source>
        <translation>The Fotokran project, 2026</translation>
    </message>
    <message>
        <source>[ При разработке ипользовались ]</source>
        <translation>[ Built with ]</translation>
    </message>
    <message>
        <source>[ Подсказки ]</source>
        <translation>[ Hints ]</translation>
    </message>
    <message>
        <source>Снимок области:</source>
        <translation>Region shot:</translation>
    </message>
</context>
<context>
    <name>fk::TMainForm</name>
    <message>
        <source>Настройки Fotokran не сохранены</source>
        <translation>Fotokran settings not saved</translation>
    </message>
    <message>
        <source>Папку %1 не удалось открыть: </source>
        <translation>The folder %1 could not be opened: </translation>
    </message>
    <message>
        <source>ее нет.</source>
        <translation>it does not exist.</translation>
    </message>
    <message>
        <source>нет программы, которая открывает папки.</source>
        <translation>no program opens folders.</translation>
    </message>
    <message>
        <source>программы xdg-open нет.</source>
        <translation>there is no xdg-open program.</translation>
    </message>
    <message>
        <source>xdg-open не нашла файлового менеджера (код %1).</source>
        <translation>xdg-open found no file manager (code %1).</translation>
    </message>
    <message>
        <source>Снятие по таймеру запущено</source>
        <translation>Timed shots started</translation>
    </message>
    <message>
        <source>Снимки пишутся в папку %1</source>
        <translation>Pictures are written to the folder %1</translation>
    </message>
    <message>
        <source>Снятие по таймеру остановлено</source>
        <translation>Timed shots stopped</translation>
    </message>
    <message>
        <source>Снимков: %1</source>
        <translation>Pictures: %1</translation>
    </message>
    <message>
        <source>GIF (компактный)</source>
        <translation>GIF (compact)</translation>
    </message>
    <message>
        <source>СТОП!</source>
        <translation>STOP!</translation>
    </message>
    <message>
        <source>ЖДИТЕ!</source>
        <translation>WAIT!</translation>
    </message>
    <message>
        <source>Монохромная</source>
        <translation>Monochrome</translation>
    </message>
    <message>
        <source>Шкала серого</source>
        <translation>Grayscale</translation>
    </message>
    <message>
        <source>Макс. цвет.</source>
        <translation>Max. colours</translation>
    </message>
    <message>
        <source>[ Путь ]</source>
        <translation>[ Path ]</translation>
    </message>
    <message>
        <source>[ Маска имени файла: ]</source>
        <translation>[ File name mask: ]</translation>
    </message>
    <message>
        <source>[ Захват курсора ]</source>
        <translation>[ Mouse cursor ]</translation>
    </message>
    <message>
        <source>Использовать</source>
        <translation>Use</translation>
    </message>
    <message>
        <source>[ Подставлять цифры ]</source>
        <translation>[ Numbering ]</translation>
    </message>
    <message>
        <source>Знаки # введенные в маске фала будут заменяться на числа начиная с:</source>
        <translation>The # signs of the file mask are replaced by numbers from:</translation>
    </message>
    <message>
        <source>[ Формат снимка ]</source>
        <translation>[ Picture format ]</translation>
    </message>
    <message>
        <source>[ Качество JPEG ]</source>
        <translation>[ JPEG quality ]</translation>
    </message>
    <message>
        <source>[ Палитра GIF ]</source>
        <translation>[ GIF palette ]</translation>
    </message>
    <message>
        <source>[ Прозрачность окна ]</source>
        <translation>[ Window transparency ]</translation>
    </message>
    <message>
        <source>[ Опции съемки видео ]</source>
        <translation>[ Video options ]</translation>
    </message>
    <message>
        <source>Формат:</source>
        <translation>Format:</translation>
    </message>
    <message>
        <source>Съемка видео</source>
        <translation>Record video</translation>
    </message>
    <message>
        <source>Скорость:</source>
        <translation>Speed:</translation>
    </message>
    <message>
        <source>[ Задержка снимка ]</source>
        <translation>[ Shot delay ]</translation>
    </message>
    <message>
        <source>Задержать съемку на</source>
        <translation>Delay the shot by</translation>
    </message>
    <message>
        <source>сек.</source>
        <translation>sec.</translation>
    </message>
    <message>
        <source>[ Задержка таймера ]</source>
        <translation>[ Timer interval ]</translation>
    </message>
    <message>
        <source>Задержка при съемке по таймеру</source>
        <translation>Pause between timed shots</translation>
    </message>
    <message>
        <source>мс.</source>
        <translation>ms</translation>
    </message>
    <message>
        <source>[ Опции запуска ]</source>
        <translation>[ Start options ]</translation>
    </message>
    <message>
        <source>Автозапуск</source>
        <translation>Autostart</translation>
    </message>
    <message>
        <source>Запускать свернутой</source>
        <translation>Start minimised</translation>
    </message>
    <message>
        <source>Снимок экрана</source>
        <translation>Screenshot</translation>
    </message>
    <message>
        <source>Снимок окна</source>
        <translation>Window shot</translation>
    </message>
    <message>
        <source>Снятие по таймеру</source>
        <translation>Timed shots</translation>
    </message>
    <message>
        <source>Помощь</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Свернуть</source>
        <translation>Minimise</translation>
    </message>
    <message>
        <source>Показать</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>Снимок области</source>
        <translation>Region shot</translation>
    </message>
    <message>
        <source>Отменить</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Уведомления</source>
        <translation>Notifications</translation>
    </message>
    <message>
        <source>Копировать в буфер обмена</source>
        <translation>Copy to clipboard</translation>
    </message>
    <message>
        <source>Весь рабочий стол</source>
        <translation>Whole desktop</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Формат снимка не выбран</source>
        <translation>No picture format is selected</translation>
    </message>
    <message>
        <source>Области уведомлений нет, и значка Fotokran не видно. Свернутое окно остается на панели задач: вернуть его можно оттуда, переключением окон (Alt+Tab) или новым запуском Fotokran. Горячие клавиши работают и при свернутом окне.</source>
        <translation>There is no notification area, so the Fotokran icon cannot be seen. A minimised window stays in the task bar: bring it back from there, by switching windows (Alt+Tab) or by starting Fotokran again. The hot keys work while the window is minimised too.</translation>
    </message>
    <message>
        <source>Окно Fotokran не свернуто при запуске. </source>
        <translation>The Fotokran window is not minimised at start. </translation>
    </message>
    <message>
        <source>Окна Fotokran не удастся исключить из снимков экрана: дисплей этого не позволяет (%1). Пока включена прозрачность, они будут видны на снимках.</source>
        <translation>The Fotokran windows cannot be left out of screenshots: the display does not allow it (%1). While transparency is on, they will show in the pictures.</translation>
    </message>
    <message>
        <source>Эти горячие клавиши заняты другой программой и в Fotokran работать не будут: </source>
        <translation>These hot keys are taken by another program and will not work in Fotokran: </translation>
    </message>
    <message>
        <source>%1: снимок через %2 сек.</source>
        <translation>%1: shot in %2 sec.</translation>
    </message>
    <message>
        <source>В sway программа не может сама занять клавиши снимков. Добавьте в ~/.config/sway/config строки
%1
и выполните swaymsg reload.</source>
        <translation>In sway a program cannot take the screenshot keys itself. Add to ~/.config/sway/config the lines
%1
and run swaymsg reload.</translation>
    </message>
    <message>
        <source>В GNOME программа не может сама занять клавиши снимков. Назначьте их в «Параметры → Клавиатура → Комбинации клавиш → Дополнительные комбинации клавиш», по одной на команду:
%1</source>
        <translation>In GNOME a program cannot take the screenshot keys itself. Assign them in &quot;Settings → Keyboard → Keyboard Shortcuts → Custom Shortcuts&quot;, one per command:
%1</translation>
    </message>
    <message>
        <source>В KDE программа не может сама занять клавиши снимков. Назначьте их в «Параметры системы → Комбинации клавиш → Fotokran»: действия «Снимок экрана», «Снимок окна», «Снятие по таймеру» и «Съемка видео» там уже есть, по одному на команду:
%1</source>
        <translation>In KDE a program cannot take the screenshot keys itself. Assign them in &quot;System Settings → Shortcuts → Fotokran&quot;: the actions &quot;Screenshot&quot;, &quot;Window shot&quot;, &quot;Start or stop the timed series&quot; and &quot;Start or stop the video&quot; are there already, one per command:
%1</translation>
    </message>
    <message>
        <source>На Wayland программа не может сама занять клавиши снимков. Назначьте их командам в настройках клавиш рабочего стола:
%1</source>
        <translation>On Wayland a program cannot take the screenshot keys itself. Assign them to the commands in the desktop&apos;s keyboard settings:
%1</translation>
    </message>
    <message>
        <source>Снимок окна берет окно в фокусе, как его называет sway, с рамкой.</source>
        <translation>A window shot takes the window that sway names as focused, with its frame.</translation>
    </message>
    <message>
        <source>Снимок окна берет активное окно с рамкой.</source>
        <translation>A window shot takes the active window with its frame.</translation>
    </message>
    <message>
        <source>Снимок окна: окно выбираете вы, в окне выбора рабочего стола.</source>
        <translation>A window shot: you choose the window, in the desktop&apos;s chooser.</translation>
    </message>
    <message>
        <source>Снимок окна здесь не работает: рабочий стол не сообщает, какое окно впереди.</source>
        <translation>Window shots do not work here: the desktop does not tell which window is in front.</translation>
    </message>
    <message>
        <source>Прозрачность окна здесь не действует: рабочий стол не меняет прозрачность окон программ. Окна Fotokran все равно не попадают в снимки, пока она включена.</source>
        <translation>Window transparency has no effect here: the desktop does not change the opacity of program windows. The Fotokran windows are still left out of pictures while it is on.</translation>
    </message>
    <message>
        <source>Да</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>Нет</source>
        <translation>No</translation>
    </message>
</context>
</TS>
