device1.txt
