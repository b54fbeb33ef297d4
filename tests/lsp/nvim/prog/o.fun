lcd.txt
