<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>orvo::TAboutForm</name>
    <message>
        <source>О программе</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Файловый менеджер для телефона</source>
        <translation>A file manager for the phone</translation>
    </message>
    <message>
        <source>Работа через COM-порт и AT-команды</source>
        <translation>Works over a COM port with AT commands</translation>
    </message>
    <message>
        <source>Свободная программа, без гарантий</source>
        <translation>Free software, without warranty</translation>
    </message>
</context>
<context>
    <name>orvo::TFileExistForm</name>
    <message>
        <source>Файл существует</source>
        <translation>File exists</translation>
    </message>
    <message>
        <source>Старое имя:</source>
        <translation>Old name:</translation>
    </message>
    <message>
        <source>Новое имя:</source>
        <translation>New name:</translation>
    </message>
    <message>
        <source>Новое имя</source>
        <translation>New name</translation>
    </message>
    <message>
        <source>Имя для копии, когда файл с таким именем уже есть</source>
        <translation>Name for the copy when a file of that name exists</translation>
    </message>
    <message>
        <source>Старое имя: %1</source>
        <translation>Old name: %1</translation>
    </message>
    <message>
        <source>Перезаписать</source>
        <translation>Overwrite</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>orvo::TForm1</name>
    <message>
        <source>Перейти в папку выше на компьютере</source>
        <translation>Go to the parent folder on the computer</translation>
    </message>
    <message>
        <source>Перейти в папку выше на телефоне</source>
        <translation>Go to the parent folder on the phone</translation>
    </message>
    <message>
        <source>Копировать выделенные файлы компьютера в папку телефона</source>
        <translation>Copy the selected computer files into the phone folder</translation>
    </message>
    <message>
        <source>Копировать выделенные файлы телефона в папку компьютера</source>
        <translation>Copy the selected phone files into the computer folder</translation>
    </message>
    <message>
        <source>Переименовать файл телефона</source>
        <translation>Rename the phone file</translation>
    </message>
    <message>
        <source>Перечитать папку телефона</source>
        <translation>Reread the phone folder</translation>
    </message>
    <message>
        <source>Удалить выделенные файлы телефона</source>
        <translation>Delete the selected phone files</translation>
    </message>
    <message>
        <source>Слева - файлы компьютера, справа - папка телефона.
Двойной щелчок открывает папку, &quot;Назад&quot; ведёт в папку выше.
&quot;Копировать --&gt;&quot; записывает выделенные слева файлы в открытую папку телефона (в корень, Sounds, Images и My Photos файлы не копируются).
&quot;&lt;-- Копия&quot; сохраняет выделенные файлы телефона в папку, открытую слева.
Порт и скорость меняются в меню Файл - Установки.
Файлы можно перетаскивать между панелями и из других программ на панель телефона.</source>
        <translation>On the left the computer&apos;s files, on the right a phone folder.
A double-click opens a folder, &quot;Back&quot; goes to the folder above.
&quot;Copy --&gt;&quot; writes the files selected on the left into the phone folder open (files are not copied into the root, Sounds, Images and My Photos).
&quot;&lt;-- Copy&quot; saves the selected phone files into the folder open on the left.
Port and speed are changed in File - Settings.
Files can be dragged between the panes, and from other programs onto the phone pane.</translation>
    </message>
    <message>
        <source>Клавиши (в панели, где курсор; то же в меню правой кнопки мыши):</source>
        <translation>Keys (in the pane with the cursor; the same in the right-button menu):</translation>
    </message>
    <message>
        <source>другая панель</source>
        <translation>the other pane</translation>
    </message>
    <message>
        <source>буква</source>
        <translation>a letter</translation>
    </message>
    <message>
        <source>к строке на эту букву</source>
        <translation>to the row starting with it</translation>
    </message>
    <message>
        <source>открыть папку</source>
        <translation>open folder</translation>
    </message>
    <message>
        <source>папка выше</source>
        <translation>folder up</translation>
    </message>
    <message>
        <source>домашняя папка</source>
        <translation>home folder</translation>
    </message>
    <message>
        <source>копировать в другую панель</source>
        <translation>copy to the other pane</translation>
    </message>
    <message>
        <source>перечитать</source>
        <translation>reread</translation>
    </message>
    <message>
        <source>выделить всё</source>
        <translation>select all</translation>
    </message>
    <message>
        <source>скрытые файлы компьютера</source>
        <translation>hidden computer files</translation>
    </message>
    <message>
        <source>переименовать файл телефона</source>
        <translation>rename a phone file</translation>
    </message>
    <message>
        <source>удалить файлы телефона</source>
        <translation>delete phone files</translation>
    </message>
    <message>
        <source>На каталог выше|Переход в надкаталог</source>
        <translation>One folder up|Go to the parent folder</translation>
    </message>
    <message>
        <source>Назад</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>Копировать --&gt;</source>
        <translation>Copy --&gt;</translation>
    </message>
    <message>
        <source>Копировать на правую панель</source>
        <translation>Copy to the right pane</translation>
    </message>
    <message>
        <source>&lt;-- Копия</source>
        <translation>&lt;-- Copy</translation>
    </message>
    <message>
        <source>Копировать на левую панель|Копировать выделенные файлы на левую панель</source>
        <translation>Copy to the left pane|Copy the selected files to the left pane</translation>
    </message>
    <message>
        <source>Переимен.</source>
        <translation>Rename</translation>
    </message>
    <message>
        <source>Переименовать файл</source>
        <translation>Rename file</translation>
    </message>
    <message>
        <source>Компилировать JAVA</source>
        <translation>Compile JAVA</translation>
    </message>
    <message>
        <source>Перечитать</source>
        <translation>Reread</translation>
    </message>
    <message>
        <source>Удалить</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Удалить файл|Удалить выделенные файлы</source>
        <translation>Delete file|Delete the selected files</translation>
    </message>
    <message>
        <source>Путь</source>
        <translation>Path</translation>
    </message>
    <message>
        <source>Домой</source>
        <translation>Home</translation>
    </message>
    <message>
        <source>Домашняя папка (Alt+Home)|Перейти в домашнюю папку</source>
        <translation>Home folder (Alt+Home)|Go to the home folder</translation>
    </message>
    <message>
        <source>Домашняя папка</source>
        <translation>Home folder</translation>
    </message>
    <message>
        <source>Открыть домашнюю папку на компьютере</source>
        <translation>Open the home folder on the computer</translation>
    </message>
    <message>
        <source>Папка компьютера</source>
        <translation>Computer folder</translation>
    </message>
    <message>
        <source>Путь к папке, открытой на компьютере; Enter открывает введённую папку</source>
        <translation>Path of the folder open on the computer; Enter opens the folder typed</translation>
    </message>
    <message>
        <source>Назад, компьютер</source>
        <translation>Back, computer</translation>
    </message>
    <message>
        <source>Назад, телефон</source>
        <translation>Back, phone</translation>
    </message>
    <message>
        <source>Файлы и папки компьютера</source>
        <translation>Files and folders of the computer</translation>
    </message>
    <message>
        <source>Файлы и папки телефона</source>
        <translation>Files and folders of the phone</translation>
    </message>
    <message>
        <source>Состояние</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Выделено</source>
        <translation>Selected</translation>
    </message>
    <message>
        <source>Файл</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Установки</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Действия</source>
        <translation>Actions</translation>
    </message>
    <message>
        <source>Помощь</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>О программе</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Информация о программе</source>
        <translation>About the program</translation>
    </message>
    <message>
        <source>Подтверждение</source>
        <translation>Confirmation</translation>
    </message>
    <message>
        <source>Операция не завершена. Выйти?</source>
        <translation>The operation is not finished. Exit?</translation>
    </message>
    <message>
        <source>Да</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>Нет</source>
        <translation>No</translation>
    </message>
    <message>
        <source>Невозможно открыть порт</source>
        <translation>Cannot open the port</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Открыть папку</source>
        <translation>Open folder</translation>
    </message>
    <message>
        <source>Папка выше</source>
        <translation>Folder up</translation>
    </message>
    <message>
        <source>Копировать на телефон</source>
        <translation>Copy to the phone</translation>
    </message>
    <message>
        <source>Выделить всё</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>Показывать скрытые файлы</source>
        <translation>Show hidden files</translation>
    </message>
    <message>
        <source>Копировать на компьютер</source>
        <translation>Copy to the computer</translation>
    </message>
    <message>
        <source>Переименовать</source>
        <translation>Rename</translation>
    </message>
    <message>
        <source>Папка не найдена:
</source>
        <translation>Folder not found:
</translation>
    </message>
    <message>
        <source>Компьютер</source>
        <translation>Computer</translation>
    </message>
    <message>
        <source>Телефон: </source>
        <translation>Phone: </translation>
    </message>
    <message>
        <source>Выделено: %1, %2</source>
        <translation>Selected: %1, %2</translation>
    </message>
    <message>
        <source>Порт %1, %2 бит/с</source>
        <translation>Port %1, %2 bit/s</translation>
    </message>
    <message>
        <source>Записывать обмен с телефоном</source>
        <translation>Record the exchange with the phone</translation>
    </message>
    <message>
        <source>Обмен с телефоном записан в файл</source>
        <translation>The exchange with the phone is recorded in the file</translation>
    </message>
    <message>
        <source>Информация</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>Невозможно записать файл %1</source>
        <translation>Cannot write the file %1</translation>
    </message>
</context>
<context>
    <name>TFormAction</name>
    <message>
        <source>Вверх</source>
        <translation>Up</translation>
    </message>
</context>
<context>
    <name>orvo::TPhoneJobsMenu</name>
    <message>
        <source>Резервная копия телефона</source>
        <translation>Phone backup</translation>
    </message>
    <message>
        <source>Восстановление</source>
        <translation>Restore</translation>
    </message>
    <message>
        <source>Установка Java-приложения</source>
        <translation>Installing a Java application</translation>
    </message>
    <message>
        <source>Резервная копия телефона…</source>
        <translation>Back up the phone…</translation>
    </message>
    <message>
        <source>Восстановить…</source>
        <translation>Restore…</translation>
    </message>
    <message>
        <source>Установить Java-приложение…</source>
        <translation>Install a Java application…</translation>
    </message>
    <message>
        <source>В папке %1 есть незаконченная резервная копия. Продолжить её?
«Нет» начнёт новую.</source>
        <translation>The folder %1 holds an unfinished backup. Continue it?
&quot;No&quot; starts a new one.</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Резервная копия: %1
Файлов прочитано: %2</source>
        <translation>Backup: %1
Files read: %2</translation>
    </message>
    <message>
        <source>, уже были в копии: %1</source>
        <translation>, already in the backup: %1</translation>
    </message>
    <message>
        <source>
Копия не закончена: её можно продолжить, выбрав ту же папку ещё раз.</source>
        <translation>
The backup is not finished: choose the same folder again to continue it.</translation>
    </message>
    <message>
        <source>В папке %1 нет резервной копии (manifest.json)</source>
        <translation>The folder %1 holds no backup (manifest.json)</translation>
    </message>
    <message>
        <source>Записано в телефон файлов: %1</source>
        <translation>Files written to the phone: %1</translation>
    </message>
    <message>
        <source>, уже были в телефоне: %1</source>
        <translation>, already on the phone: %1</translation>
    </message>
    <message>
        <source>Java-приложения (*.jad)</source>
        <translation>Java applications (*.jad)</translation>
    </message>
    <message>
        <source>Java-приложение установлено: %1</source>
        <translation>Java application installed: %1</translation>
    </message>
    <message>
        <source>Java-приложение не установлено</source>
        <translation>Java application not installed</translation>
    </message>
    <message>
        <source>Операция прервана</source>
        <translation>The operation was aborted</translation>
    </message>
    <message>
        <source>

Не выполнено (%1):</source>
        <translation>

Not done (%1):</translation>
    </message>
    <message>
        <source>
… и ещё %1</source>
        <translation>
… and %1 more</translation>
    </message>
    <message>
        <source>Да</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>Нет</source>
        <translation>No</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>orvo::TProcessForm</name>
    <message>
        <source>Передача данных...</source>
        <translation>Transferring data...</translation>
    </message>
    <message>
        <source>Прервать</source>
        <translation>Abort</translation>
    </message>
    <message>
        <source>Ход передачи файла</source>
        <translation>Progress of the file</translation>
    </message>
    <message>
        <source>Ход всей передачи</source>
        <translation>Progress of the whole transfer</translation>
    </message>
    <message>
        <source>Файл: передано, скорость, осталось</source>
        <translation>File: done, speed, time left</translation>
    </message>
    <message>
        <source>Всего: передано, скорость, осталось</source>
        <translation>All: done, speed, time left</translation>
    </message>
    <message>
        <source>Файл: %1</source>
        <translation>File: %1</translation>
    </message>
    <message>
        <source>Всего: %1</source>
        <translation>All: %1</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
</context>
<context>
    <name>orvo::TRenameForm</name>
    <message>
        <source>Переименовать</source>
        <translation>Rename</translation>
    </message>
    <message>
        <source>Новое имя файла</source>
        <translation>New file name</translation>
    </message>
    <message>
        <source>Имя, под которым файл останется на телефоне</source>
        <translation>Name the file keeps on the phone</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>orvo::TSettingsForm</name>
    <message>
        <source>Выберите ваш COM порт</source>
        <translation>Choose your COM port</translation>
    </message>
    <message>
        <source>Выберите скорость:</source>
        <translation>Choose the speed:</translation>
    </message>
    <message>
        <source>Старт</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Обновить</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>Искать порты заново</source>
        <translation>Look for ports again</translation>
    </message>
    <message>
        <source>COM порт</source>
        <translation>COM port</translation>
    </message>
    <message>
        <source>Скорость</source>
        <translation>Speed</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
</context>
</TS>
